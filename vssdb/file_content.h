// Every version's content of a file, rebuilt as SourceSafe keeps it: the current data file
// holds the newest version, and each check-in carries a reverse delta (FD, see
// delta_format.h) that turns its content back into the version before. Versions that are
// no check-in (labels, the start of a branch) add no content of their own: they have the
// content of the version below them, or of the newest version above.
//
// A branched file's versions below its first one are those of the file it was branched
// from. A file kept as "latest only" has no content below its newest check-in, nor does a
// file below an archive of its versions: the rebuild ends there and says why, never
// inventing what is gone.
//
// At most two versions are held at a time, whatever the history's length: the one handed
// out and the one built from it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vssdb/data_folder.h"

namespace vssdb {

struct VersionContent {
    int version = 0;
    std::uint16_t action = 0;  // of the version's record (revision_format::Action)
    std::string_view bytes;    // valid until the visitor returns
};

// What a rebuild found beside the contents.
struct ContentSummary {
    int newest = 0;
    // The lowest version handed out: 1, or the oldest version the file keeps.
    int oldest = 0;
    // Why the versions below `oldest` have no content; empty when `oldest` is 1 or the
    // visitor stopped early.
    std::string notKept;
    // The data files read (the branch sources' too) and which of them had their CR LF
    // line endings restored (see current_content.h).
    std::vector<std::string> dataFiles;
    std::vector<std::string> restoredDataFiles;
    // What the file's own history occupies on disk: its log (the records and reverse
    // deltas) and its current data file, as found.
    std::uint64_t storedBytes = 0;
    bool latestOnly = false;  // the file keeps its latest version only (its header says)
};

class FileContentReader {
  public:
    // Reads the files of the data folder `dataPath`. Never writes anything. Not
    // thread-safe (it remembers the folder's listings): one reader per thread.
    explicit FileContentReader(std::string dataPath);

    // Returns false to stop: no older version is rebuilt.
    using Visit = std::function<bool(const VersionContent&)>;

    // Hands every version of file `physical` to `visit`, newest first. Throws
    // Error(kCorrupt) naming the file for damage: a log or data file missing, a data file
    // that fails its checksum (and is not restored by CR LF), a version chain or branch
    // sources that loop, a check-in without its reverse delta, a delta that does not apply.
    // Versions handed out before the damage was found stay handed out.
    ContentSummary ForEachVersion(const std::string& physical, const Visit& visit);

    // The content of version `version`, or nothing when the file does not keep it (then
    // `notKept`, when given, says why). Throws as ForEachVersion, and
    // Error(kInvalidArgument) for a version the file does not have.
    std::optional<std::string> ReadVersion(const std::string& physical, int version,
                                           std::string* notKept = nullptr);

  private:
    DataFolder folder_;
};

}  // namespace vssdb
