// Every text a database holds, for deciding its code page: the strings of names.dat, the
// user names of um.dat, and from the log of every item the database references (see
// referenced_logs.h) its names, user names, labels, specs and comments. Damaged files are
// passed over here; reading the items reports them.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "vssdb/data_folder.h"
#include "vssdb/item_log.h"
#include "vssdb/names_file.h"
#include "vssdb/project_entries.h"
#include "vssdb/record_reader.h"
#include "vssdb/user_file.h"

namespace vssdb {

// For the census of ForEachDatabaseText: whether any text it takes from a record (the item
// header's short name; a version's user, label, names, specs and archive path as
// ParseRevision reads them; a comment) can hold a byte of 0x80 or more. False only when
// none does; a body too short for its fields may hold anything. Most records of most
// databases hold only ASCII, and those need neither their checksum nor parsing here.
bool RecordMayHoldNonAscii(std::string_view signature, std::string_view body);

void ForEachDatabaseText(const DataFolder& folder, const NamesFile& names,
                         const std::vector<UserRecord>& users,
                         const std::function<void(std::string_view)>& visit);

// The same census, taken in passing while an export reads the logs anyway. Each log read
// is looked at once, there and then; most hold only ASCII texts, which the census passes
// over, and those need not be read again when the census is finished. Finish then hands
// out the very texts of ForEachDatabaseText, in its order, reading only the logs never read
// before and those holding a non-ASCII text.
class PassingCensus {
  public:
    // The log of `physical` was read: whether the census would visit any of its texts, and,
    // for a file, the file it was branched from.
    void LogRead(std::string_view physical, const ItemHeader& header, RecordSource& records);
    // The child list of project `physical` was read.
    void ChildListRead(std::string_view physical, const std::vector<ProjectEntry>& entries);

    // What ForEachDatabaseText(folder, names, users, visit) visits.
    void Finish(const DataFolder& folder, const NamesFile& names,
                const std::vector<UserRecord>& users,
                const std::function<void(std::string_view)>& visit) const;

  private:
    struct Project {
        bool read = false;  // its log, found to hold only ASCII texts
        bool listed = false;
        std::vector<std::uint64_t> children;
    };
    // Physical names packed into eight bytes: the census must stay small beside the walk.
    std::unordered_set<std::uint64_t> asciiFiles_;  // not branched
    std::unordered_map<std::uint64_t, std::uint64_t> asciiBranches_;  // file -> its source
    std::unordered_map<std::uint64_t, Project> projects_;
};

}  // namespace vssdb
