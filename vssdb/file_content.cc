#include "vssdb/file_content.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "vssdb/current_content.h"
#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/item_log.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"
#include "vssdb/reverse_delta.h"
#include "vssdb/revision_format.h"

namespace vssdb {
namespace {

using revision_format::Action;

std::uint64_t SizeOnDisk(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Branch sources followed before the chain counts as looping; real databases branch a
// file a few times at most.
constexpr int kMaxBranchDepth = 64;

// One log's part of a rebuild: its versions from the newest down, those below `below`
// handed out. Returns false when the rebuild is over: the visitor stopped, or older
// versions are not kept (`summary.notKept` says why).
class LogRebuild {
  public:
    LogRebuild(const DataFolder& folder, ContentSummary& summary,
               const FileContentReader::Visit& visit)
        : folder_(folder), summary_(summary), visit_(visit) {}

    // The log of `physical`, read; its item header says where the rebuild goes on.
    bool Run(const ItemLog& log, const std::string& physical, int below) {
        const ItemHeader& header = log.header();
        if (header.type != ItemType::kFile) {
            ThrowCorrupt(log.path(), "expected a file, found a project");
        }
        const std::vector<Revision> revisions = log.ReadRevisions();
        CurrentContent current = ReadCurrentContent(folder_, physical, header, log.path());
        if (summary_.dataFiles.empty()) {
            summary_.storedBytes = SizeOnDisk(log.path()) + SizeOnDisk(current.path);
            summary_.latestOnly = (header.fileFlags & item_header_format::kFileLatestOnly) != 0;
        }
        summary_.dataFiles.push_back(current.path);
        if (current.lineEndingsRestored) {
            summary_.restoredDataFiles.push_back(current.path);
        }
        if (summary_.newest == 0) {
            summary_.newest = revisions.front().version;
        }
        std::string newer = std::move(current.bytes);
        std::string older;
        const bool latestOnly = (header.fileFlags & item_header_format::kFileLatestOnly) != 0;
        for (std::size_t i = 0; i < revisions.size(); ++i) {
            const Revision& revision = revisions[i];
            if (revision.version < below) {
                summary_.oldest = revision.version;
                if (!visit_({revision.version, revision.action, newer})) {
                    return false;
                }
            }
            if (i + 1 == revisions.size()) {
                break;
            }
            switch (static_cast<Action>(revision.action)) {
                case Action::kCheckIn:
                    if (latestOnly) {
                        return NotKept("the file keeps its latest version only");
                    }
                    StepDown(log, revision, newer, older);
                    std::swap(newer, older);
                    break;
                case Action::kArchiveVersions:
                    return NotKept("older versions were archived");
                default:
                    break;  // the version below has the same content
            }
        }
        return true;
    }

  private:
    bool NotKept(std::string why) {
        summary_.notKept = std::move(why);
        return false;
    }

    static void StepDown(const ItemLog& log, const Revision& revision, std::string_view newer,
                         std::string& older) {
        if (revision.delta == 0) {
            ThrowCorruptAt(log.path(), revision.offset,
                           "the check-in of version " + std::to_string(revision.version) +
                               " names no reverse delta");
        }
        if (revision.delta >= log.records().size()) {
            ThrowCorruptAt(log.path(), revision.offset,
                           "the reverse delta of version " + std::to_string(revision.version) +
                               " lies at offset " + std::to_string(revision.delta) +
                               ", outside the file");
        }
        const Record delta = ReadRecordAt(log.records(), revision.delta, record_format::kDelta);
        ApplyReverseDelta(delta.body, newer, older);
    }

    const DataFolder& folder_;
    ContentSummary& summary_;
    const FileContentReader::Visit& visit_;
};

}  // namespace

FileContentReader::FileContentReader(std::string dataPath) : folder_(std::move(dataPath)) {}

ContentSummary FileContentReader::ForEachVersion(const std::string& physical, const Visit& visit) {
    ContentSummary summary;
    LogRebuild rebuild(folder_, summary, visit);
    std::vector<std::string> visited;
    std::string current = physical;
    int below = std::numeric_limits<int>::max();
    for (int depth = 0;; ++depth) {
        if (!IsPhysicalName(current)) {
            ThrowCorrupt(folder_.ExpectedLogPath(physical),
                         "branch source \"" + current + "\" is no physical name");
        }
        if (depth > kMaxBranchDepth ||
            std::find(visited.begin(), visited.end(), current) != visited.end()) {
            ThrowCorrupt(folder_.ExpectedLogPath(physical),
                         "branch sources loop back to " + current);
        }
        visited.push_back(current);
        const std::string path = folder_.FindLog(current);
        if (path.empty()) {
            ThrowCorrupt(folder_.ExpectedLogPath(current), "item file missing");
        }
        const ItemLog log = ItemLog::Read(path);
        if (!rebuild.Run(log, current, below)) {
            return summary;
        }
        const ItemHeader& header = log.header();
        if (header.branchSource.empty() || header.firstVersion <= 1) {
            return summary;
        }
        below = header.firstVersion;
        current = header.branchSource;
    }
}

std::optional<std::string> FileContentReader::ReadVersion(const std::string& physical, int version,
                                                          std::string* notKept) {
    std::optional<std::string> found;
    const ContentSummary summary = ForEachVersion(physical, [&](const VersionContent& content) {
        if (content.version != version) {
            return content.version > version;
        }
        found = std::string(content.bytes);
        return false;
    });
    if (found) {
        return found;
    }
    if (version < 1 || version > summary.newest || summary.notKept.empty()) {
        throw Error(ErrorKind::kInvalidArgument, folder_.ExpectedLogPath(physical),
                    "the file has no version " + std::to_string(version));
    }
    if (notKept != nullptr) {
        *notKept = summary.notKept;
    }
    return std::nullopt;
}

}  // namespace vssdb
