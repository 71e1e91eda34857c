#include "sourcesafe/action_text.h"

#include <string_view>

#include "vssdb/revision_format.h"

namespace sourcesafe {
namespace {

using vssdb::revision_format::Action;

// Every wording in one place, with the code that names the action in data. Placeholders:
// {name}, {old}, {spec}, {label}, {n}. A project acted on is written "$Name", as
// SourceSafe's own history writes subprojects, so that it is never taken for a file.
struct Wording {
    std::string_view text;
    std::string_view code;
};

struct ActionWording {
    Action action;
    Wording wording;
};

constexpr ActionWording kWordings[] = {
    {Action::kLabel, {"Labeled '{label}'", "labeled"}},
    {Action::kCreateProject, {"Created", "created"}},
    {Action::kCreateFile, {"Created", "created"}},
    {Action::kAddProject, {"Added ${name}", "added"}},
    {Action::kAddFile, {"Added {name}", "added"}},
    {Action::kDestroyProject, {"Destroyed ${name}", "destroyed"}},
    {Action::kDestroyFile, {"Destroyed {name}", "destroyed"}},
    {Action::kDeleteProject, {"Deleted ${name}", "deleted"}},
    {Action::kDeleteFile, {"Deleted {name}", "deleted"}},
    {Action::kRecoverProject, {"Recovered ${name}", "recovered"}},
    {Action::kRecoverFile, {"Recovered {name}", "recovered"}},
    {Action::kRenameProject, {"Renamed ${old} to ${name}", "renamed"}},
    {Action::kRenameFile, {"Renamed {old} to {name}", "renamed"}},
    {Action::kMoveFrom, {"Moved from {spec}", "moved_from"}},
    {Action::kMoveTo, {"Moved to {spec}", "moved_to"}},
    {Action::kShareFile, {"Shared {spec}", "shared"}},
    {Action::kBranchFile, {"Branched {name}", "branched"}},
    {Action::kCheckIn, {"Checked in {spec}", "checked_in"}},
    {Action::kBranchStart, {"Branched at version {n}", "branched_at"}},
    {Action::kArchiveVersions, {"Archived versions of {name}", "archived_versions"}},
    {Action::kRestoreVersions, {"Restored versions of {name}", "restored_versions"}},
    {Action::kArchiveFile, {"Archived {name}", "archived"}},
    {Action::kArchiveProject, {"Archived ${name}", "archived"}},
    {Action::kRestoreFile, {"Restored {name}", "restored"}},
    {Action::kRestoreProject, {"Restored ${name}", "restored"}},
};

// Variants that the stored fields select.
// A removed label keeps its version: said with what is left of its name, and coded apart
// so that nothing counts or filters it as a label.
constexpr Wording kRemovedLabel = {"Labeled '{label}' (removed)", "label_removed"};
constexpr Wording kPurged = {"Purged {name}", "purged"};
constexpr Wording kPurgedProject = {"Purged ${name}", "purged"};
constexpr Wording kPinned = {"Pinned {name} to version {n}", "pinned"};
constexpr Wording kUnpinned = {"Unpinned {name}", "unpinned"};
constexpr Wording kRollback = {"Rollback to version {n}", "rolled_back"};
constexpr Wording kUnknown = {"Unknown action {n}", "unknown"};

// How one version reads: its wording, the number {n} stands for, and whether {spec} names
// the file shared rather than only its project.
struct Classified {
    Wording wording = kUnknown;
    int number = 0;
    bool sharedFileSpec = false;
};

Classified Classify(const vssdb::Revision& revision) {
    const auto action = static_cast<Action>(revision.action);
    Classified out;
    out.number = revision.action;
    for (const ActionWording& known : kWordings) {
        if (known.action == action) {
            out.wording = known.wording;
            out.number = revision.version;
        }
    }
    switch (action) {
        case Action::kLabel:
            if (revision.labelRemoved) {
                out.wording = kRemovedLabel;
            }
            break;
        case Action::kDestroyProject:
        case Action::kDestroyFile:
            if (revision.purged == 1) {
                out.wording = action == Action::kDestroyProject ? kPurgedProject : kPurged;
            }
            break;
        case Action::kShareFile:
            if (revision.shareKind == 0) {
                out.wording = kPinned;
                out.number = revision.pinnedVersion;
            } else if (revision.shareKind > 0) {
                out.wording = kUnpinned;
                out.number = revision.shareKind;  // the version that was pinned
            } else {
                out.sharedFileSpec = true;
            }
            break;
        case Action::kBranchStart:
            // SourceSafe's own history words the entry numbered N of a branched file
            // "Branched at version N"; a rollback names the version before its entry.
            if (revision.branchSource.empty()) {
                out.wording = kRollback;
                out.number = revision.version - 1;
            }
            break;
        default:
            break;
    }
    return out;
}

bool Shows(std::string_view pattern, std::string_view placeholder) {
    return pattern.find(placeholder) != std::string_view::npos;
}

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

std::string DisplayName(const vssdb::NameField& field, vssdb::Database& database) {
    return database.DisplayName(field, field.isProject());
}

// The texts a wording shows. Names are looked up only where it shows them: each may cost a
// names.dat lookup, and a damaged one that is not shown must not cost the version.
struct Shown {
    std::string name;
    std::string old;
    std::string spec;
    std::string label;
};

Shown LookUp(const vssdb::Revision& revision, const Classified& classified,
             vssdb::Database& database) {
    const std::string_view pattern = classified.wording.text;
    Shown shown;
    if (classified.sharedFileSpec || Shows(pattern, "{name}")) {
        shown.name = DisplayName(revision.name, database);
    }
    if (Shows(pattern, "{old}")) {
        shown.old = DisplayName(revision.oldName, database);
    }
    shown.spec = database.Decode(revision.spec);
    if (classified.sharedFileSpec) {
        shown.spec = JoinSpec(shown.spec, shown.name);
    }
    shown.label = database.Decode(revision.label);
    return shown;
}

}  // namespace

std::string ActionText(const vssdb::Revision& revision, vssdb::Database& database) {
    const Classified classified = Classify(revision);
    const Shown shown = LookUp(revision, classified, database);
    return Fill(classified.wording.text, shown.name, shown.old, shown.spec, shown.label,
                classified.number);
}

ActionDetails DescribeAction(const vssdb::Revision& revision, vssdb::Database& database) {
    const Classified classified = Classify(revision);
    Shown shown = LookUp(revision, classified, database);
    ActionDetails details;
    details.text = Fill(classified.wording.text, shown.name, shown.old, shown.spec, shown.label,
                        classified.number);
    details.code = classified.wording.code;
    details.storedAction = revision.action;
    details.nameIsProject = !shown.name.empty() && revision.name.isProject();
    details.name = std::move(shown.name);
    details.oldName = std::move(shown.old);
    details.spec = std::move(shown.spec);
    const std::string_view code = classified.wording.code;
    if (code == kPinned.code || code == kUnpinned.code || code == kRollback.code) {
        details.version = classified.number;
    } else if (static_cast<Action>(revision.action) == Action::kBranchStart) {
        // The text names the entry's own number; the data names the source's version the
        // branch started from, the one before it.
        details.version = revision.version - 1;
    }
    details.branchSource = revision.branchSource;
    details.archivePath = database.Decode(revision.archivePath);
    return details;
}

}  // namespace sourcesafe
