#include "vssdb/past_children.h"

#include <algorithm>
#include <cctype>

#include "vssdb/revision_format.h"
#include "vssdb/text_case.h"

namespace vssdb {
namespace {

using revision_format::Action;

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Physical names are upper case in records, but a reader matches them ignoring case.
std::vector<PastEntry>::iterator Find(std::vector<PastEntry>& entries,
                                      const std::string& physical) {
    return std::find_if(entries.begin(), entries.end(), [&](const PastEntry& entry) {
        return EqualsIgnoringCase(entry.physical, physical);
    });
}

void Add(std::vector<PastEntry>& entries, ItemType type, const Revision& record,
         bool shared = false) {
    const auto found = Find(entries, record.physical);
    if (found != entries.end()) {
        // Listed already: a damaged or unusual log adds nothing twice.
        found->name = record.name;
        found->deleted = false;
        return;
    }
    PastEntry entry;
    entry.type = type;
    entry.name = record.name;
    entry.physical = record.physical;
    entry.shared = shared;
    entries.push_back(std::move(entry));
}

void Apply(std::vector<PastEntry>& entries, const Revision& record) {
    const auto entry = Find(entries, record.physical);
    const bool listed = entry != entries.end();
    switch (static_cast<Action>(record.action)) {
        case Action::kAddProject:
        case Action::kMoveFrom:
        case Action::kRestoreProject:
            Add(entries, ItemType::kProject, record);
            break;
        case Action::kAddFile:
        case Action::kRestoreFile:
            Add(entries, ItemType::kFile, record);
            break;
        case Action::kShareFile:
            if (record.shareKind < 0) {
                Add(entries, ItemType::kFile, record, true);
            } else if (listed) {
                // A pin names the version; an unpin names the version that was pinned.
                entry->pinnedVersion =
                    record.shareKind == 0 ? static_cast<std::uint16_t>(record.pinnedVersion) : 0;
            }
            break;
        case Action::kBranchFile: {
            // The entry leaves the shared file for a new one of its own.
            const auto source = Find(entries, record.branchSource);
            if (source != entries.end()) {
                source->physical = record.physical;
                source->pinnedVersion = 0;
                source->shared = false;
            }
            break;
        }
        case Action::kDeleteProject:
        case Action::kDeleteFile:
        case Action::kRecoverProject:
        case Action::kRecoverFile:
            if (listed) {
                entry->deleted =
                    record.action == static_cast<std::uint16_t>(Action::kDeleteFile) ||
                    record.action == static_cast<std::uint16_t>(Action::kDeleteProject);
            }
            break;
        case Action::kRenameProject:
        case Action::kRenameFile:
            if (listed) {
                entry->name = record.name;
            }
            break;
        case Action::kDestroyProject:
        case Action::kDestroyFile:
        case Action::kMoveTo:
            if (listed) {
                entries.erase(entry);
            }
            break;
        default:
            // Creation, labels, archives: the list stays as it is.
            break;
    }
}

}  // namespace

int VersionAt(const std::vector<Revision>& newestFirst, const std::string& physical,
              const Moment& moment, bool withContent) {
    const bool labelled = !moment.labelled.empty() && EqualsIgnoringCase(moment.labelled, physical);
    for (const Revision& revision : newestFirst) {
        const bool inTime = labelled ? revision.version <= moment.labelVersion
                                     : std::int64_t{revision.time} <= moment.time;
        if (inTime &&
            !(withContent && revision.action == static_cast<std::uint16_t>(Action::kLabel))) {
            return revision.version;
        }
    }
    return 0;
}

std::vector<PastEntry> ReplayChildList(const std::vector<Revision>& newestFirst, int upToVersion) {
    std::vector<PastEntry> entries;
    for (auto record = newestFirst.rbegin(); record != newestFirst.rend(); ++record) {
        if (record->version <= upToVersion) {
            Apply(entries, *record);
            continue;
        }
        const auto action = static_cast<Action>(record->action);
        if (action == Action::kDestroyFile || action == Action::kDestroyProject) {
            const auto entry = Find(entries, record->physical);
            if (entry != entries.end() && entry->destroyedIn == 0) {
                entry->destroyedIn = record->version;
            }
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const PastEntry& a, const PastEntry& b) {
        return AsciiLower(a.name.shortName) < AsciiLower(b.name.shortName);
    });
    return entries;
}

}  // namespace vssdb
