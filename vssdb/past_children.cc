#include "vssdb/past_children.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <utility>

#include "vssdb/revision_format.h"

namespace vssdb {
namespace {

using revision_format::Action;

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The entries by physical name, letter case ignored (records spell them in upper case, but
// a reader matches them ignoring case): a project with thousands of children replays in
// one step per record.
using Entries = std::unordered_map<std::string, PastEntry>;

Entries::iterator Find(Entries& entries, const std::string& physical) {
    return entries.find(AsciiLower(physical));
}

void Add(Entries& entries, ItemType type, const Revision& record, bool shared = false) {
    const auto found = Find(entries, record.physical);
    if (found != entries.end()) {
        // Listed already: a damaged or unusual log adds nothing twice.
        found->second.name = record.name;
        found->second.deleted = false;
        return;
    }
    PastEntry entry;
    entry.type = type;
    entry.name = record.name;
    entry.physical = record.physical;
    entry.shared = shared;
    entries.emplace(AsciiLower(record.physical), std::move(entry));
}

void Apply(Entries& entries, const Revision& record) {
    auto found = Find(entries, record.physical);
    const bool listed = found != entries.end();
    PastEntry* const entry = listed ? &found->second : nullptr;
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
                PastEntry branch = std::move(source->second);
                entries.erase(source);
                branch.physical = record.physical;
                branch.pinnedVersion = 0;
                branch.shared = false;
                entries.insert_or_assign(AsciiLower(record.physical), std::move(branch));
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
                entries.erase(found);
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
    const bool labelled =
        !moment.labelled.empty() && AsciiLower(moment.labelled) == AsciiLower(physical);
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
    Entries entries;
    for (auto record = newestFirst.rbegin(); record != newestFirst.rend(); ++record) {
        if (record->version <= upToVersion) {
            Apply(entries, *record);
            continue;
        }
        const auto action = static_cast<Action>(record->action);
        if (action == Action::kDestroyFile || action == Action::kDestroyProject) {
            const auto entry = Find(entries, record->physical);
            if (entry != entries.end() && entry->second.destroyedIn == 0) {
                entry->second.destroyedIn = record->version;
            }
        }
    }
    std::vector<std::pair<std::string, PastEntry>> sorted;
    sorted.reserve(entries.size());
    for (auto& [physical, entry] : entries) {
        sorted.emplace_back(AsciiLower(entry.name.shortName) + '\0' + physical, std::move(entry));
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PastEntry> list;
    list.reserve(sorted.size());
    for (auto& [key, entry] : sorted) {
        list.push_back(std::move(entry));
    }
    return list;
}

}  // namespace vssdb
