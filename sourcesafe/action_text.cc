#include "sourcesafe/action_text.h"

#include <string_view>

#include "vssdb/revision_format.h"

namespace sourcesafe {
namespace {

using vssdb::revision_format::Action;

// Every wording in one place. Placeholders: {name}, {old}, {spec}, {label}, {n}.
struct Wording {
    Action action;
    std::string_view text;
};

constexpr Wording kWordings[] = {
    {Action::kLabel, "Labeled '{label}'"},
    {Action::kCreateProject, "Created"},
    {Action::kCreateFile, "Created"},
    {Action::kAddProject, "Added ${name}"},
    {Action::kAddFile, "Added {name}"},
    {Action::kDestroyProject, "Destroyed {name}"},
    {Action::kDestroyFile, "Destroyed {name}"},
    {Action::kDeleteProject, "Deleted {name}"},
    {Action::kDeleteFile, "Deleted {name}"},
    {Action::kRecoverProject, "Recovered {name}"},
    {Action::kRecoverFile, "Recovered {name}"},
    {Action::kRenameProject, "Renamed {old} to {name}"},
    {Action::kRenameFile, "Renamed {old} to {name}"},
    {Action::kMoveFrom, "Moved from {spec}"},
    {Action::kMoveTo, "Moved to {spec}"},
    {Action::kShareFile, "Shared {spec}"},
    {Action::kBranchFile, "Branched {name}"},
    {Action::kCheckIn, "Checked in {spec}"},
    {Action::kBranchStart, "Branched at version {n}"},
    {Action::kArchiveVersions, "Archived versions of {name}"},
    {Action::kRestoreVersions, "Restored versions of {name}"},
    {Action::kArchiveFile, "Archived {name}"},
    {Action::kArchiveProject, "Archived {name}"},
    {Action::kRestoreFile, "Restored {name}"},
    {Action::kRestoreProject, "Restored {name}"},
};

// Variants that the stored fields select.
constexpr std::string_view kPurged = "Purged {name}";
constexpr std::string_view kPinned = "Pinned {name} to version {n}";
constexpr std::string_view kUnpinned = "Unpinned {name}";
constexpr std::string_view kRollback = "Rollback to version {n}";
constexpr std::string_view kUnknown = "Unknown action {n}";

std::string Fill(std::string_view pattern, std::string_view name, std::string_view old,
                 std::string_view spec, std::string_view label, int number) {
    std::string out;
    out.reserve(pattern.size() + name.size() + spec.size());
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t brace = pattern.find('{', i);
        if (brace == std::string_view::npos) {
            out.append(pattern.substr(i));
            break;
        }
        out.append(pattern.substr(i, brace - i));
        i = brace;
        const auto take = [&](std::string_view placeholder, std::string_view value) {
            if (pattern.substr(i, placeholder.size()) != placeholder) {
                return false;
            }
            out += value;
            i += placeholder.size();
            return true;
        };
        if (take("{name}", name) || take("{old}", old) || take("{spec}", spec) ||
            take("{label}", label) || take("{n}", std::to_string(number))) {
            continue;
        }
        out += pattern[i++];
    }
    return out;
}

std::string JoinSpec(const std::string& project, const std::string& name) {
    if (project.empty()) {
        return name;
    }
    return project.back() == '/' ? project + name : project + "/" + name;
}

}  // namespace

std::string ActionText(const vssdb::Revision& revision, const vssdb::Database& database) {
    const auto action = static_cast<Action>(revision.action);
    int number = revision.version;
    bool sharedFileSpec = false;  // the spec names the file shared, not only its project

    std::string_view pattern = kUnknown;
    for (const Wording& wording : kWordings) {
        if (wording.action == action) {
            pattern = wording.text;
        }
    }
    switch (action) {
        case Action::kDestroyProject:
        case Action::kDestroyFile:
            if (revision.purged == 1) {
                pattern = kPurged;
            }
            break;
        case Action::kShareFile:
            if (revision.shareKind == 0) {
                pattern = kPinned;
                number = revision.pinnedVersion;
            } else if (revision.shareKind > 0) {
                pattern = kUnpinned;
            } else {
                sharedFileSpec = true;
            }
            break;
        case Action::kBranchStart:
            // SourceSafe's own history words the entry numbered N of a branched file
            // "Branched at version N"; a rollback names the version before its entry.
            if (revision.branchSource.empty()) {
                pattern = kRollback;
                number = revision.version - 1;
            }
            break;
        default:
            break;
    }
    if (pattern == kUnknown) {
        number = revision.action;
    }
    // Names are looked up only where the wording shows them: each may cost a names.dat
    // lookup, and a damaged one that is not shown must not cost the version.
    const auto displayName = [&](const vssdb::NameField& field) {
        return database.DisplayName(field, field.isProject());
    };
    const std::string name = sharedFileSpec || pattern.find("{name}") != std::string_view::npos
                                 ? displayName(revision.name)
                                 : std::string();
    const std::string old = pattern.find("{old}") != std::string_view::npos
                                ? displayName(revision.oldName)
                                : std::string();
    std::string spec = database.Decode(revision.spec);
    if (sharedFileSpec) {
        spec = JoinSpec(spec, name);
    }
    const std::string label = database.Decode(revision.label);
    return Fill(pattern, name, old, spec, label, number);
}

}  // namespace sourcesafe
