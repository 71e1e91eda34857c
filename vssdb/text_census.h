// Every text a database holds, for deciding its code page: the strings of names.dat, the
// user names of um.dat, and from the log of every item the database references (see
// referenced_logs.h) its names, user names, labels, specs and comments. Damaged files are
// passed over here; reading the items reports them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// The texts of one log's records in file order, up to its first damaged history record
// (as ForEachDatabaseText visits them). Records are found by their lengths; the content
// deltas are stepped over unread.
void ForEachLogText(RecordSource& log, const std::function<void(std::string_view)>& visit);

void ForEachDatabaseText(const DataFolder& folder, const NamesFile& names,
                         const std::vector<UserRecord>& users,
                         const std::function<void(std::string_view)>& visit);

// The same census, taken in passing while an export reads the logs anyway. Each log read
// is looked at once, there and then: most hold only ASCII texts, which the census passes
// over, and the few non-ASCII texts of the others are kept (up to a bound). Finish then
// hands out the very texts of ForEachDatabaseText, in its order, reading only the logs
// never read before (and those whose texts were past the bound).
class PassingCensus {
  public:
    // The log of `physical` was read.
    void LogRead(std::string_view physical, const ItemHeader& header, RecordSource& records);
    // The child list of project `physical` was read.
    void ChildListRead(std::string_view physical, const std::vector<ProjectEntry>& entries);

    // The non-ASCII texts of the logs read so far, in the order they were read: evidence
    // for a guess before the census is finished.
    void ForEachTextReadSoFar(const std::function<void(std::string_view)>& visit) const;

    // What ForEachDatabaseText(folder, names, users, visit) visits. Once only. `logDone`,
    // when given, is told after each log how many have been gone through, those read
    // before included; whatever it throws ends the census and reaches the caller.
    void Finish(const DataFolder& folder, const NamesFile& names,
                const std::vector<UserRecord>& users,
                const std::function<void(std::string_view)>& visit,
                const std::function<void(std::size_t logsDone)>& logDone = {});

  private:
    // Kept texts: each occurrence names a span of one pool (short texts, which repeat,
    // share theirs); the occurrences of a log lie one after another.
    struct Texts {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };
    struct File {
        std::uint64_t physical;
        std::uint64_t branchSource;  // 0 unless branched
        Texts texts;
    };
    struct Project {
        bool listed = false;  // `children` is its child list
        std::vector<std::uint64_t> children;
        Texts texts;
    };
    // Keeps the texts of one log unless the bound is reached.
    bool Keep(const std::vector<std::string>& texts, Texts& kept);
    std::size_t KeptBytes() const;
    std::uint32_t SpanOf(std::string_view text);
    void VisitKept(const Texts& texts, const std::function<void(std::string_view)>& visit) const;

    // Physical names are packed into eight bytes, and files into a list sorted only when
    // the census is finished: the census must stay small beside the walk.
    std::vector<File> files_;
    std::unordered_map<std::uint64_t, Project> projects_;

    std::string pool_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans_;  // offset, length in pool_
    std::vector<std::uint32_t> occurrences_;                      // indexes of spans_
    std::unordered_map<std::string, std::uint32_t> shortTexts_;   // text -> its span
};

}  // namespace vssdb
