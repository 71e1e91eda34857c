// A SourceSafe database as items and versions: the logical layer over the physical files.
//
// Opening reads srcsafe.ini, checks the format, reads the users and the names file, and
// settles the code page. Items are then read when asked for; the child lists and current
// version numbers used lately are remembered, since lookups ask for them again and again
// (only lately: the memory stays the same whatever the size of the database).
// Nothing is ever written. Not thread-safe: one database serves one thread.
//
// The database may be in use: another client may change any file at any time. A
// remembered answer is as old as the walk that first read it (ForgetCachedItems starts
// afresh), so within one walk an item is read from one state of its files, never from a
// mix; a file that changed since is read as it is now when it is read at all. names.dat
// is read again whenever a lookup misses and the file has changed since it was read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vssdb/code_page_lifecycle.h"
#include "vssdb/data_folder.h"
#include "vssdb/error.h"
#include "vssdb/file_records.h"
#include "vssdb/item_log.h"
#include "vssdb/item_path.h"
#include "vssdb/log_prefetch.h"
#include "vssdb/name_doubt.h"
#include "vssdb/names_file.h"
#include "vssdb/past_children.h"
#include "vssdb/recent_cache.h"
#include "vssdb/user_file.h"

namespace vssdb {

struct OpenOptions {
    int codePage = 0;          // 0: find it out from the database's texts
    int tieBreakCodePage = 0;  // 0: the current locale's ANSI code page
    // Finding the code page out reads every log. With this set, it is found out only when
    // first needed (a non-ASCII text to decode, or the question which it is), and the
    // logs read before that are not read again unless they hold a non-ASCII text: an
    // export of a database whose texts are ASCII reads each log once. The answer is the
    // one found at open.
    bool settleCodePageLate = false;
    // The logs of the files of each child list read are read ahead by other threads
    // (see log_prefetch.h); 0 reads nothing ahead.
    int prefetchThreads = 8;
};

// One entry of a project's child list.
struct Child {
    ItemType type = ItemType::kFile;
    std::string name;  // display name, UTF-8
    std::string physical;
    std::uint16_t pinnedVersion = 0;  // 0 unless this project pins the file
    std::uint8_t fileType = 0;        // see ProjectEntry::fileType
    bool deleted = false;
    bool shared = false;
    std::string storedName;  // the entry's short name field, raw bytes
    // Why the child's name cannot be used: it holds a character names may not hold
    // (written as \xNN in `name`), or it is empty and its long name cannot be read.
    // Reaching the child reports this (as corrupt, whatever made the name unreadable).
    std::optional<Error> nameError;
    // Set when `name` is the short field, standing in for a long name that cannot be read.
    std::optional<NameDoubt> nameDoubt;
    // In a list of the past (Database::ChildrenAt): why the item cannot be reached any more,
    // as it was destroyed since. Reaching the child reports this.
    std::optional<Error> gone;
};

// A project's child list with its live children indexed by name.
struct ChildList {
    std::vector<Child> entries;  // deleted ones included, in stored order

    // The first live child of that name: an exact match, else one that differs only in
    // letter case. Null when there is none.
    const Child* FindLive(std::string_view name) const;

    std::unordered_map<std::string, std::size_t> exact;
    std::unordered_map<std::string, std::size_t> folded;
};

// An item as reached through a spec.
struct LocatedItem {
    ItemPath path;  // its spec, with stored names; its name is the last of them
    ItemType type = ItemType::kProject;
    std::string physical;
    std::uint16_t pinnedVersion = 0;  // set when the parent project pins the file
    std::uint8_t fileType = 0;        // as its entry stores it (Child::fileType)
    // Set for an item reached through a child entry whose name cannot be used (see
    // Child::nameError): nothing may be read of it.
    std::optional<Error> nameError;
    // Set when its own name is a short field standing in (see Child::nameDoubt).
    std::optional<NameDoubt> nameDoubt;
    bool deleted = false;  // its entry, or a project above it, is deleted
    // Set for an item reached through a child entry: that entry's short name field and
    // the project whose list holds it, for EntryDisagreement.
    std::string entryName;
    std::string parentPhysical;
    // Set for an item as it was at a moment of the past: its children and its version are
    // those of that moment.
    std::optional<Moment> asOf;
    // See Child::gone: nothing may be read of it.
    std::optional<Error> gone;
};

// What a file's log says about the file beyond its versions.
struct FileFacts {
    std::uint16_t flags = 0;         // item_header_format::kFile*
    std::string branchSource;        // physical name of the file it was branched from, or empty
    std::uint16_t firstVersion = 1;  // versions below this one are the branch source's
    std::vector<Checkout> checkouts;
    std::vector<std::string> parentProjects;  // physical names, in the order it joined them
    long long dataSize = -1;                  // of the current data file; -1 when it is missing
};

class Database {
  public:
    // Throws Error: kNotFound (ini, data folder, root project or um.dat missing),
    // kIncompatible (older format), kCorrupt, kUnreadable, kInvalidArgument (code page).
    static std::unique_ptr<Database> Open(const std::string& iniPath,
                                          const OpenOptions& options = {});
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& iniPath() const { return iniPath_; }
    const std::string& dataPath() const { return folder_.path(); }
    // Both settle the code page when that was put off (OpenOptions::settleCodePageLate).
    // Like every method that may decode a text, they are not const: settling it may read
    // every log of the database (code_page_lifecycle.h).
    int codePage();
    CodePageOrigin codePageOrigin();

    // For a census put off at open: from now on, a non-ASCII text to decode before the
    // census is finished is read in the code page the texts read so far point to, and the
    // census goes on. For callers that can start their work over (ConfirmCodePage).
    void AllowProvisionalCodePage();
    // Finishes the census. False when its answer is not the code page texts were read in
    // meanwhile: everything decoded so far must be asked for again (it is read in the
    // answer from now on). `logDone` is told how far the census is (PassingCensus::Finish);
    // when it throws, the census ends unfinished and the database must not be used again.
    bool ConfirmCodePage(const std::function<void(std::size_t logsDone)>& logDone = {});
    // Whether the census is put off and not yet finished: reading the logs lies ahead.
    bool codePagePending() const { return codePage_.censusPending(); }

    // Checks a user name (case-insensitive) and password (its 16-bit hash) as SourceSafe
    // does. An empty name stands for the current user's login name. Throws
    // Error(kUserNotFound) or Error(kBadPassword).
    void Login(std::string_view user, std::string_view password);
    static std::string DefaultUserName();

    // The child list of a project, deleted entries included, in stored order.
    std::shared_ptr<const ChildList> Children(const std::string& projectPhysical);

    // Resolves "$/", "$//", "$/A/b.txt", "$/A/" (letter case ignored where no exact match
    // exists). Deleted items are not found. Throws Error(kItemNotFound), or kCorrupt when
    // the way leads through an unreadable name or puts a project in a second place.
    LocatedItem Locate(std::string_view spec);

    // What Locate finds for the project's spec followed by "/" and `relative`, found from
    // the project instead of from the root, and in `children`, the project's child list as
    // read before, instead of in a list read again: a walk takes one step per item
    // whatever its depth.
    LocatedItem LocateBelow(const LocatedItem& project, const ChildList& children,
                            std::string_view relative);

    // The version number of an item's newest version.
    int LatestVersion(const std::string& physical);

    // The child list of a project as it was at `moment` (see past_children.h), its names
    // decoded as Children's are. A child destroyed since whose files are gone carries why
    // (Child::gone). Throws Error when the project's log cannot be read.
    std::shared_ptr<const ChildList> ChildrenAt(const std::string& projectPhysical,
                                                const Moment& moment);
    // The version item `physical` had at `moment` (see vssdb::VersionAt); 0 when it had none.
    int VersionAt(const std::string& physical, const Moment& moment, bool withContent);
    // The moment of the newest label named `label` (as shown, UTF-8; letter case ignored, as
    // the export's label filter ignores it) in the log of item `physical`; nothing when it
    // has none. Removed labels do not count.
    std::optional<Moment> LabelMoment(const std::string& physical, std::string_view label);

    // Drops the remembered child lists, version numbers and project places, so that what
    // is asked next is read from the files as they are now; rereads names.dat if it
    // changed. A walk calls this before it starts.
    void ForgetCachedItems();

    // Every version of an item, newest first. A branched file continues below its first
    // version with the versions of the file it was branched from.
    std::vector<Revision> History(const std::string& physical);

    // Where item `physical`'s current data file should be, when it is missing; empty when it
    // is there. Throws Error when the item's log cannot be read.
    std::string MissingDataFileOf(const std::string& physical);

    // How many entries and subprojects the header of project `physical` counts, for saying
    // how much is unknown below a project whose children cannot be read. Nothing when its
    // log cannot be read either.
    struct RecordedChildren {
        int entries = 0;
        int projects = 0;
    };
    std::optional<RecordedChildren> RecordedChildrenOf(const std::string& physical);

    // What the log of file `physical` says beyond its versions. Throws Error(kCorrupt)
    // when it is a project's log or damaged.
    FileFacts FileFactsOf(const std::string& physical);

    // What the log of the item that `item`'s entry leads to says against the entry: another
    // type, another stored short name (letter case ignored), for a project another parent
    // project, for a file parent records that do not name the project listing it. An entry
    // redirected to another item, or a log replaced by another item's, shows so; the fault
    // names that log. Nothing when they agree, or when `item` was not reached through an
    // entry. Throws Error when the log cannot be read.
    std::optional<FileFault> EntryDisagreement(const LocatedItem& item);

    // The place of a project reached by its physical name alone: where a walk found it,
    // else through the parents its item header names. Throws Error(kCorrupt) when the
    // parents loop or end anywhere but at the root.
    ItemPath ProjectPathOf(const std::string& physical);

    // The live entries that list file `physical` in the projects `parentProjects` (as
    // FileFacts gives them), in that order.
    std::vector<LocatedItem> PlacesOf(const std::string& physical,
                                      const std::vector<std::string>& parentProjects);

    // The users of um.dat, in file order.
    const std::vector<UserRecord>& users() const { return users_; }

    // Text of the database in UTF-8 (undecodable bytes become U+FFFD).
    std::string Decode(std::string_view bytes);
    // A name as it is to be shown, and the doubt about it when it is the short field
    // standing in for a long name that cannot be read.
    struct ShownName {
        std::string name;
        std::optional<NameDoubt> doubt;
    };
    // The display name of a name field: the long name from names.dat, else the short field.
    // When the field points into names.dat and no name of this item can be read there (see
    // NamesFile::LongNameOf), the short field stands in, with the doubt. Throws that Error
    // only when the short field is empty too: there is nothing to show.
    ShownName NameToShow(const NameField& name, bool project);
    // NameToShow's name alone.
    std::string DisplayName(const NameField& name, bool project);

  private:
    Database(std::string iniPath, std::string dataPath);
    ItemLog ReadLog(const std::string& physical);
    std::shared_ptr<const ChildList> ReadChildren(const std::string& projectPhysical);
    // A child entry with its display name, and why it cannot be used when it cannot;
    // `listPath` is the file the entry was read from, for messages.
    Child MakeChild(ItemType type, const NameField& name, const std::string& physical,
                    const std::string& listPath);
    // The log of an item as read last, when that item was the last one read this way: a
    // walk asks for a file's history, its version number and its facts one after another.
    std::shared_ptr<const ItemLog> RecentLog(const std::string& physical);
    // Rereads names.dat when it is not the file read before; returns whether it did.
    bool RefreshNames();
    // A child list was read: its files' logs are read ahead of the walk (log_prefetch.h).
    void ReadAheadLogsOf(const ChildList& children);
    // Takes the steps of `parts` down from `item`, the first in `children` when given.
    // `spec` spells the whole way for messages.
    LocatedItem Descend(LocatedItem item, const ChildList* children,
                        const std::vector<std::string_view>& parts,
                        const std::function<std::string()>& spec);
    // A project lives in one place. Damage that lists it elsewhere too (below itself, say)
    // would make the tree endless; the second place found is refused as corrupt. Returns
    // the path the project was first claimed with, so that the paths of later lookups
    // share it.
    ItemPath ClaimProject(const std::string& physical, ItemPath path);

    std::string iniPath_;
    DataFolder folder_;
    // Read again when another client changed the file (RefreshNames).
    NamesFile names_;
    std::optional<FileStamp> namesStamp_;  // none until names.dat was looked for
    std::string usersPath_;
    std::vector<UserRecord> users_;
    CodePageLifecycle codePage_{folder_, names_, users_};
    // The child lists read last, whose files' logs were queued for reading ahead.
    std::vector<std::shared_ptr<const ChildList>> listsAhead_;
    int prefetchThreads_ = 0;
    std::unique_ptr<LogPrefetcher> prefetcher_;  // made when first needed
    // Weighed in child entries (a few hundred bytes each): a lookup from the root needs the
    // lists on its way, and reading a list again is cheap. A walk holds the lists it works
    // through itself (LocateBelow), so none of them depends on staying here.
    RecentCache<std::shared_ptr<const ChildList>> children_{4096, 32};
    RecentCache<int> latestVersions_{4096, 1};
    std::string recentPhysical_;
    std::shared_ptr<const ItemLog> recentLog_;
    // Upper-case physical name -> the place the project was first reached through.
    std::unordered_map<std::string, ItemPath> projectPlaces_{{std::string(kRootPhysical), {}}};
};

}  // namespace vssdb
