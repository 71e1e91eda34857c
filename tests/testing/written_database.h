// Reads back what the writer wrote, field by field from the format constants, without the
// writer's own code, and checks a whole database against the format's rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "testing/damage.h"
#include "vssdb/byte_view.h"

namespace vsstest::readback {

struct Revision {
    std::size_t offset = 0;
    std::uint32_t previous = 0;
    std::uint16_t action = 0;
    std::uint16_t version = 0;
    std::string user;
    std::string label;
    std::string comment;  // from its MC record, without the NUL
    std::string labelComment;
    vssdb::ByteView body;  // valid while the log lives
};

// One item log file.
class Log {
  public:
    explicit Log(const std::filesystem::path& path);
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    const std::string& bytes() const { return bytes_; }
    const std::vector<RecordInfo>& records() const { return records_; }
    vssdb::ByteView Body(const RecordInfo& record) const;
    vssdb::ByteView Body(std::size_t recordOffset) const;
    vssdb::ByteView Header() const;  // the DH body
    bool IsProject() const;
    // Versions newest first, following the chain from the header's last revision.
    std::vector<Revision> Revisions() const;
    // Physical names of PF (or BF) records from the header's last one back, blanks as "".
    std::vector<std::string> Links(bool branches) const;

  private:
    // The text of the MC record at `offset`; empty when there is none.
    std::string Comment(std::uint32_t offset, std::uint16_t length) const;

    std::string path_;
    std::string bytes_;
    std::vector<RecordInfo> records_;
};

struct ProjectEntry {
    std::uint16_t type = 0;
    std::uint16_t flags = 0;
    std::string shortName;
    std::uint32_t namesOffset = 0;
    std::uint16_t pinnedVersion = 0;
    std::string physical;
};

std::vector<ProjectEntry> ReadProjectList(const std::filesystem::path& dataFile);

// The strings of the SN record at `offset`, by kind.
std::map<std::uint16_t, std::string> ReadNameRecord(const std::filesystem::path& namesFile,
                                                    std::uint32_t offset);

struct User {
    std::string name;
    std::uint16_t passwordHash = 0;
};
std::vector<User> ReadUsers(const std::filesystem::path& userFile);

// Every rule a written database must keep (record CRCs, item headers agreeing with their
// records, version chains, comment offsets, sorted child lists, parent counts, data file
// CRCs). Returns one line per violation; empty when the database is sound.
std::vector<std::string> CheckDatabase(const std::filesystem::path& dataFolder);

}  // namespace vsstest::readback

namespace vsstest {

// The lines, each ended by a line feed: a list of violations shown whole when a test fails.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace vsstest
