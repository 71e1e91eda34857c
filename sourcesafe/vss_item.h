// Items (projects and files) and item collections of the automation layer.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sourcesafe/vss_checkout.h"
#include "sourcesafe/vss_version.h"
#include "vssdb/file_fault.h"
#include "vssdb/name_doubt.h"

namespace vssdb {
struct LocatedItem;
struct Moment;
}  // namespace vssdb

namespace sourcesafe {

struct Connection;
class IVSSItems;

inline constexpr int VSSITEM_PROJECT = 0;
inline constexpr int VSSITEM_FILE = 1;

inline constexpr int VSSFILE_NOTCHECKEDOUT = 0;
inline constexpr int VSSFILE_CHECKEDOUT = 1;     // by another user
inline constexpr int VSSFILE_CHECKEDOUT_ME = 2;  // by the user the database was opened as

// Where a branched file came from.
struct BranchSource {
    std::string physical;  // empty when the file was never branched
    std::string spec;      // a live place of the source file; empty when it has none
    int version = 0;       // the source's version the branch started from
};

// What rebuilding every version of a file found (IVSSItem::CheckContent).
struct ContentCheck {
    int versions = 0;  // versions rebuilt
    // What the file's own history occupies on disk: its log, which holds the reverse
    // deltas, and its current data file.
    long long storedBytes = 0;
    bool latestOnly = false;  // kept as "latest only": no content below the newest check-in
    // Why the versions below the oldest rebuilt have no content; empty when all came back.
    std::string notKept;
    // Data files that failed their checksum as found and matched once CR LF line endings,
    // rewritten to LF by a copy, were restored.
    std::vector<std::string> restoredDataFiles;
};

// What rebuilding a file's content needs, and nothing that refers back to the database:
// it may be handed to another thread (see content_reader.h).
struct ContentSource {
    std::string dataPath;  // the database's data folder
    std::string physical;  // empty for a project, which has no content
};

// What is said of a data file in ContentCheck::restoredDataFiles.
std::string_view LineEndingsRestoredReason();

class IVSSItem {
  public:
    IVSSItem() = default;

    bool IsEmpty() const { return !state_; }
    void Release() { state_.reset(); }
    // Whether both hold the same object (as comparing interface pointers tells in COM).
    bool IsSameObject(const IVSSItem& other) const { return state_ == other.state_; }

    // "$/" for the root, else "$/A/b.txt", with the names as the database stores them.
    std::string Spec() const;
    // The item's own name; empty for the root.
    std::string Name() const;
    // The name of its files in the data folder ("BAAAAAAA"): one item, however reached.
    std::string Physical() const;
    // VSSITEM_PROJECT or VSSITEM_FILE.
    int Type() const;
    // A file's newest version, or the pinned one when the project it was reached through
    // pins it; a project's own newest version (file check-ins do not count).
    // This, Items and Versions raise ESS_FILE_CORRUPT for an item whose stored name cannot
    // be used (it holds a character names may not hold, or it is empty and its long name
    // unreadable): Spec and Name then give a stand-in, which nothing may be exported under.
    int VersionNumber() const;
    // The children of a project, in the database's order; deleted ones only on request.
    // A file has none.
    IVSSItems Items(bool includeDeleted = false) const;
    // The versions, newest first; a pinned file's start at the pinned version.
    IVSSVersions Versions(long flags = 0) const;

    // Whether its entry, or that of a project above it, is deleted (Items(true) reaches it).
    bool Deleted() const;
    // For an item reached through its project's child list, what its own log says against
    // the entry that lists it (see vssdb::Database::EntryDisagreement); nothing when they
    // agree. Raises ESS_FILE_CORRUPT when the log cannot be read, as VersionNumber does.
    std::optional<vssdb::FileFault> EntryDisagreement() const;

    // Null unless Name is the stored short form standing in for a long name that cannot be
    // read; then what it may hide and why.
    const vssdb::NameDoubt* UncertainName() const;
    // Where a file's current data file should be when it is missing (its content is lost;
    // its history is not); empty when it is there, and for a project.
    std::string MissingDataFile() const;
    // What the header of a project counts below it (entries, deleted ones included, and
    // of them projects): how much is unknown when its children cannot be read. Nothing
    // for a file, or when the header cannot be read either.
    struct RecordedChildren {
        int entries = 0;
        int projects = 0;
    };
    std::optional<RecordedChildren> RecordedChildrenOnFile() const;

    // The facts below read the file's log once, when the first of them is asked for. A
    // project has none: false, VSSFILE_NOTCHECKEDOUT, no checkouts or links, size 0.
    // They raise ESS_FILE_CORRUPT for an unusable name, as VersionNumber does.
    bool Binary() const;
    int IsCheckedOut() const;
    IVSSCheckouts Checkouts() const;
    // Every entry that lists the file and is not deleted itself (its project may be), in
    // the order the projects took it in; this one among them unless it is deleted.
    IVSSItems Links() const;
    // The size of the current content in bytes; -1 when its data file is missing.
    long long Size() const;
    // The version the project it was reached through pins it at; 0 when not pinned.
    int PinnedVersion() const;
    // The file type VSS 2005 keeps in the entry that lists the file: "binary", "text",
    // "utf-8", "utf-16", or the stored number when it is none of those; empty when the
    // database stores none (before VSS 2005), and for a project.
    std::string StoredFileType() const;
    BranchSource BranchedFrom() const;

    // The item as it was at a moment of the past, as the vendor's object model reaches it
    // through a label or a date: its children are those it held then, under the names they
    // had, each file at the version it had (or was pinned at) then; VersionNumber, and so
    // Get(0), give that version. A child destroyed since raises ESS_ITEM_NOT_FOUND when
    // reached, as VersionNumber is asked. Spec and the other facts are as now.
    //
    // AtLabel takes the moment of the newest label of that name (letter case ignored) on
    // this item, or on the nearest project above it that has one (a label covers the
    // project's subtree). Raises DISP_E_BADINDEX when none of them has such a label.
    IVSSItem AtLabel(const std::string& label) const;
    // `date` is an automation date on the database's wall clock: each item is taken at its
    // newest version not after it. VersionNumber raises DISP_E_BADINDEX for an item that
    // did not exist yet.
    IVSSItem AtDate(double date) const;

    // What the vendor's object model calls getting a file: the content of version
    // `version`, or with 0 of the version VersionNumber gives (the pinned one, else the
    // newest). Raises ESS_FILE_CORRUPT when the content cannot be rebuilt (the message
    // names the damaged file and why), and when the file does not keep that version (kept
    // as latest only, or archived); DISP_E_BADINDEX for a version the file does not have,
    // or for a project.
    std::string Get(int version = 0) const;
    // Rebuilds every version of a file, newest first, hands each to `each` (when given;
    // the bytes are valid until it returns) and says what came back. Raises as Get; the
    // versions handed out before the damage was found stay handed out. A project has no
    // content: nothing is read.
    using VersionBytes = std::function<void(int version, std::string_view bytes)>;
    ContentCheck CheckContent(const VersionBytes& each = nullptr) const;
    // What CheckContent reads, to be rebuilt on another thread by a ContentReader. Raises
    // as CheckContent does before it reads anything.
    ContentSource ContentSourceOf() const;

  private:
    struct State;
    friend class IVSSDatabase;
    friend class IVSSItems;
    IVSSItem(std::shared_ptr<Connection> connection, vssdb::LocatedItem located);
    const State& Require() const;
    const State& RequireReadable() const;
    IVSSItem At(vssdb::Moment moment) const;

    std::shared_ptr<const State> state_;
};

class IVSSItems {
  public:
    IVSSItems() = default;

    bool IsEmpty() const { return !state_; }

    int Count() const;
    // The child at `index`, 1 to Count(). Raises DISP_E_BADINDEX outside that range.
    IVSSItem Item(int index) const;
    // The item that IVSSDatabase::VSSItem finds for the project's spec followed by "/" and
    // `name` (the first live child of that name, checked as VSSItem checks it), found in
    // this list rather than from the root: one step whatever the project's depth.
    IVSSItem Item(const std::string& name) const;

  private:
    struct State;
    friend class IVSSItem;
    const State& Require() const;

    std::shared_ptr<const State> state_;
};

}  // namespace sourcesafe
