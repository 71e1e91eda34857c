// EL record: one version of a project or file; MC record: a comment.
//
// Every EL body has the same size whatever the action. The common part is followed by an
// action-specific part from offset 88; bytes after the used part are junk and never read.
// Versions are chained newest to oldest through "previous" offsets, starting at the
// item header's last-revision offset and ending at 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vssdb/delta_format.h"

namespace vssdb::revision_format {

inline constexpr std::size_t kBodySize = 404;

inline constexpr std::size_t kPrevious = 0;             // u32, 0 for the first
inline constexpr std::size_t kAction = 4;               // u16, see Action
inline constexpr std::size_t kVersion = 6;              // u16
inline constexpr std::size_t kTime = 8;                 // u32 seconds, writer's wall clock
inline constexpr std::size_t kUser = 12;                // char[32]
inline constexpr std::size_t kLabel = 44;               // char[32]
inline constexpr std::size_t kCommentOffset = 76;       // u32
inline constexpr std::size_t kLabelCommentOffset = 80;  // u32
inline constexpr std::size_t kCommentLength = 84;       // u16, includes the NUL
inline constexpr std::size_t kLabelCommentLength = 86;  // u16, includes the NUL
inline constexpr std::size_t kTextFieldSize = 32;

inline constexpr std::size_t kSpecSize = 260;
inline constexpr std::size_t kPhysicalSize = 10;

// Create, add, delete, recover (1, 2, 3, 6, 7, 8, 9, 16): the item acted on.
inline constexpr std::size_t kCommonName = 88;
inline constexpr std::size_t kCommonPhysical = 128;
// Destroy (4, 5).
inline constexpr std::size_t kDestroyName = 88;
inline constexpr std::size_t kDestroyPurged =
    128;  // i16: 1 when an already deleted item was purged
inline constexpr std::size_t kDestroyPhysical = 130;
// Rename (10, 11).
inline constexpr std::size_t kRenameNewName = 88;
inline constexpr std::size_t kRenameOldName = 128;
inline constexpr std::size_t kRenamePhysical = 168;
// Move (12, 13).
inline constexpr std::size_t kMoveSpec = 88;
inline constexpr std::size_t kMoveName = 348;
inline constexpr std::size_t kMovePhysical = 388;
// Share, pin, unpin (14).
inline constexpr std::size_t kShareSpec = 88;  // project shared from
inline constexpr std::size_t kShareName = 348;
inline constexpr std::size_t kShareKind = 388;           // i16: -1 share, 0 pin, >0 unpin
inline constexpr std::size_t kSharePinnedVersion = 390;  // i16
inline constexpr std::size_t kSharePhysical = 394;
// Branch (15 in a project log, 19 in the new file's log).
inline constexpr std::size_t kBranchName = 88;
inline constexpr std::size_t kBranchPhysical = 128;
inline constexpr std::size_t kBranchSource = 138;
// Check-in (17).
inline constexpr std::size_t kCheckInDelta = 88;  // u32 offset of the FD record
inline constexpr std::size_t kCheckInSpec = 96;   // project spec as typed
// Archive and restore (23, 24, 25).
inline constexpr std::size_t kArchiveName = 88;
inline constexpr std::size_t kArchivePhysical = 128;
inline constexpr std::size_t kArchivePath = 140;

// GCC's -Wshadow takes Action::kLabel for the offset kLabel above, though an enumerator of
// a scoped enum is only ever named through Action.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
enum class Action : std::uint16_t {
    kLabel = 0,
    kCreateProject = 1,
    kAddProject = 2,
    kAddFile = 3,
    kDestroyProject = 4,
    kDestroyFile = 5,
    kDeleteProject = 6,
    kDeleteFile = 7,
    kRecoverProject = 8,
    kRecoverFile = 9,
    kRenameProject = 10,
    kRenameFile = 11,
    kMoveFrom = 12,
    kMoveTo = 13,
    kShareFile = 14,
    kBranchFile = 15,
    kCreateFile = 16,
    kCheckIn = 17,
    kCheckInProject = 18,
    kBranchStart = 19,
    kArchiveVersions = 20,
    kRestoreVersions = 21,
    kArchiveFile = 22,
    kArchiveProject = 23,
    kRestoreFile = 24,
    kRestoreProject = 25,
};
#pragma GCC diagnostic pop

// Where an action's own fields lie in an EL body; 0 for a field the action does not have
// (no action-specific field starts before offset 88). Labels and unknown actions have none.
struct ActionLayout {
    std::size_t name = 0;           // name field (the new name of a rename)
    std::size_t oldName = 0;        // renames
    std::size_t spec = 0;           // spec[260]: check-in project, move or share source
    std::size_t physical = 0;       // physical[10] of the item acted on
    std::size_t branchSource = 0;   // physical[10]
    std::size_t archivePath = 0;    // path[260]
    std::size_t purged = 0;         // i16
    std::size_t shareKind = 0;      // i16
    std::size_t pinnedVersion = 0;  // i16
    std::size_t delta = 0;          // u32 offset of an FD record
};

constexpr ActionLayout LayoutOf(Action action) {
    switch (action) {
        case Action::kCreateProject:
        case Action::kAddProject:
        case Action::kAddFile:
        case Action::kDeleteProject:
        case Action::kDeleteFile:
        case Action::kRecoverProject:
        case Action::kRecoverFile:
        case Action::kCreateFile:
            return {.name = kCommonName, .physical = kCommonPhysical};
        case Action::kDestroyProject:
        case Action::kDestroyFile:
            return {.name = kDestroyName, .physical = kDestroyPhysical, .purged = kDestroyPurged};
        case Action::kRenameProject:
        case Action::kRenameFile:
            return {.name = kRenameNewName, .oldName = kRenameOldName, .physical = kRenamePhysical};
        case Action::kMoveFrom:
        case Action::kMoveTo:
            return {.name = kMoveName, .spec = kMoveSpec, .physical = kMovePhysical};
        case Action::kShareFile:
            return {.name = kShareName,
                    .spec = kShareSpec,
                    .physical = kSharePhysical,
                    .shareKind = kShareKind,
                    .pinnedVersion = kSharePinnedVersion};
        case Action::kBranchFile:
        case Action::kBranchStart:
            return {
                .name = kBranchName, .physical = kBranchPhysical, .branchSource = kBranchSource};
        case Action::kCheckIn:
            return {.spec = kCheckInSpec, .delta = kCheckInDelta};
        case Action::kArchiveVersions:
        case Action::kRestoreVersions:
        case Action::kArchiveFile:
        case Action::kArchiveProject:
        case Action::kRestoreFile:
        case Action::kRestoreProject:
            return {
                .name = kArchiveName, .physical = kArchivePhysical, .archivePath = kArchivePath};
        default:
            return {};
    }
}

}  // namespace vssdb::revision_format
