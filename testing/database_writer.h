// Builds a SourceSafe 6.0/2005 database from a script of actions, for tests, fuzz seeds
// and benchmark databases.
//
// Each action is recorded as SourceSafe records it: an EL (version) in the right log with
// its comments, child lists kept sorted, names.dat entries for names the short field
// cannot hold. Everything is built in memory; Write() writes each physical file once.
// WriteSubtree() writes part of the database early and frees its bytes, so that databases
// larger than memory can be built a project at a time.
//
// Misuse (an unknown item, deleting what is not there, pinning a version that does not
// exist) throws std::invalid_argument; any action after Write(), and any action that
// would change an item WriteSubtree() already wrote, throws std::logic_error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "testing/names_file_builder.h"
#include "testing/stamp.h"
#include "testing/support_files.h"

namespace vsstest {

// An item as the writer knows it: a physical file. 0 is the root project. A file shared
// into several projects is one item; Branch() makes a new one.
using ItemId = int;

struct WriterOptions {
    // The data folder and everything in it in upper case (DATA/A/AAAAAAAA, DATA/NAMES.DAT),
    // as copies from old systems have them. srcsafe.ini still says Data_Path = data.
    bool upperCaseFileNames = false;
    // Without names.dat name fields still point into it, as in databases that lost it.
    bool writeNamesFile = true;
    bool writeSrcsafeIni = true;
    std::string dataFolder = "data";
    // The Data_Path value in srcsafe.ini; empty means `dataFolder`.
    std::string dataPathSetting;
    // Lines added to the global part of srcsafe.ini.
    std::string extraIniText;
    // The lines of a [TimeZone] section after it, as VSS 2005 writes one ("TZ_Bias = 300"
    // and so on); empty: none, as VSS 6.0 writes none.
    std::string timeZoneText;
    // Who created the root project, and when.
    Stamp rootCreation;
    // Keep every version's content of every file, for VersionContent().
    bool keepVersionContents = false;
};

class DatabaseWriter {
  public:
    // `root` receives srcsafe.ini, users.txt, users/ and the data folder.
    explicit DatabaseWriter(std::filesystem::path root, WriterOptions options = {});
    ~DatabaseWriter();
    DatabaseWriter(const DatabaseWriter&) = delete;
    DatabaseWriter& operator=(const DatabaseWriter&) = delete;

    // Users. Admin and Guest with empty passwords exist unless removed. Names and passwords
    // are raw bytes; the stored hash is that of the password with ASCII letters upper-cased.
    // Adding a name twice lists it twice, as damaged user files do.
    void AddUser(std::string name, std::string password);
    void AddUserWithHash(std::string name, std::uint16_t passwordHash);
    void RemoveUser(const std::string& name);  // every user of that name, ignoring case

    ItemId Root() const { return 0; }

    // New items: version 1 ("created") in the item's own log, "added" in the parent's.
    // The stamp's comment belongs to the creation.
    ItemId AddProject(ItemId parent, std::string name, const Stamp& stamp = {});
    // Without `content` the file's first content is made up from its name.
    ItemId AddFile(ItemId parent, std::string name, const Stamp& stamp = {}, bool binary = false,
                   std::optional<std::string> content = std::nullopt);

    // A new version of a file with an FD reverse delta that copies what the two versions
    // share (none for a file kept as latest only). `projectSpec` is stored as typed; by
    // default the spec of the first project holding the file. Without `content` the new
    // content is made up from the file's name and version.
    void CheckIn(ItemId file, const Stamp& stamp = {}, std::string projectSpec = {},
                 std::optional<std::string> content = std::nullopt);
    // Checks the file's current version out to `checkout`'s user until CheckIn() or
    // UndoCheckOut(); one checkout at a time. Neither logs a version. The project spec
    // defaults as CheckIn()'s does.
    void CheckOut(ItemId file, const Checkout& checkout = {});
    // One more checkout of a checked-out file, as with multiple checkouts allowed; ends
    // with the others.
    void CheckOutAgain(ItemId file, const Checkout& checkout);
    void UndoCheckOut(ItemId file);
    // From now on the file keeps its latest version only (flag 0x04): check-ins store no
    // reverse delta, and versions below the newest check-in have no content.
    void KeepLatestOnly(ItemId file);
    // The file type VSS 2005 stores in the high byte of the file's entries' flags (1 binary,
    // 2 text, 3 UTF-8, 4 UTF-16); older databases store none (0).
    void SetFileType(ItemId file, std::uint8_t type);
    // A label is a version of its own, in the labelled item's log only.
    void Label(ItemId item, std::string label, const Stamp& stamp = {},
               std::string labelComment = {});
    // The newest label of that name on the item, removed: its version stays, its name is
    // stored after a zero byte (see ItemLogBuilder::RemoveLabel). Logs nothing.
    void RemoveLabel(ItemId item, const std::string& label);

    // Logged in `project`'s log (action 14); the file's entries get the shared flag.
    void Share(ItemId file, ItemId intoProject, const Stamp& stamp = {});
    void Pin(ItemId project, ItemId file, int version, const Stamp& stamp = {});
    void Unpin(ItemId project, ItemId file, const Stamp& stamp = {});
    // The file as listed in `project` becomes a new item whose log starts at the source's
    // latest version + 1; returns that item.
    ItemId Branch(ItemId project, ItemId file, const Stamp& stamp = {});

    // Entries of `parent`'s child list. Deleted entries stay listed (flag 0x01); destroyed
    // ones go, together with the item's files once no project lists it ("purged" when the
    // entry was already deleted).
    void Delete(ItemId parent, ItemId child, const Stamp& stamp = {});
    void Recover(ItemId parent, ItemId child, const Stamp& stamp = {});
    void Destroy(ItemId parent, ItemId child, const Stamp& stamp = {});
    void Rename(ItemId parent, ItemId child, std::string newName, const Stamp& stamp = {});
    // Logs 12 (moved from) in the new parent's log and 13 (moved to) in the old parent's;
    // each names the other parent's spec.
    void Move(ItemId project, ItemId newParent, const Stamp& stamp = {});

    // Damage: `project`'s entry of `child` keeps the child's name and type but names the
    // files of `other`, as an entry a damaged list redirected to another item does.
    void PointEntryAt(ItemId project, ItemId child, ItemId other);

    // Writes the files of `project` and of every item below it now (a file shared into
    // other projects too), and frees their bytes. Those items are final from then on:
    // adding to them, checking them in, labelling, sharing, renaming, moving, destroying
    // them throws std::logic_error; deleting or recovering their entries in a project that
    // is not yet written still works. Write() writes the rest.
    void WriteSubtree(ItemId project);

    // Writes every file not yet written, names.dat, um.dat and the settings. Only once.
    void Write();

    // For tests that inspect or damage what was written.
    std::string PhysicalName(ItemId item) const;    // "BAAAAAAA"
    std::string ProjectSpec(ItemId project) const;  // "$/", "$/a", "$/a/b"
    int CurrentVersion(ItemId item) const;
    // The content of a file's version as checked in (a label's is the version's below it;
    // a branch's versions below its first are its source's); nothing for a version the
    // file does not keep. Needs WriterOptions::keepVersionContents; throws
    // std::invalid_argument for a version the file does not have.
    std::optional<std::string> VersionContent(ItemId file, int version) const;
    bool IsBinary(ItemId file) const;
    std::filesystem::path LogPath(ItemId item) const;   // <data>/b/baaaaaaa
    std::filesystem::path DataPath(ItemId item) const;  // the current .a or .b
    std::filesystem::path IniPath() const;
    std::filesystem::path DataFolderPath() const;
    std::filesystem::path NamesFilePath() const;
    std::filesystem::path UserFilePath() const;

  private:
    struct Item;
    struct ChildEntry;
    Item& Get(ItemId id, const char* what);
    const Item& Get(ItemId id, const char* what) const;
    Item& LiveProject(ItemId id);
    Item& LiveFile(ItemId id);
    ChildEntry& EntryOf(ItemId project, ItemId child);
    void EnsureWritable() const;
    // Throws std::logic_error when `item` (or, for the subtree form, anything below it)
    // was written by WriteSubtree().
    void EnsureUnwritten(ItemId item) const;
    void EnsureSubtreeUnwritten(ItemId project) const;

    ItemId NewItem(bool project);
    void AssignName(Item& item, std::string name, ItemId aliasProject);
    void AppendParentLink(Item& file, ItemId project);
    void DropParent(Item& file, ItemId project);
    void DestroySubtree(ItemId project);
    ItemId FirstListingProject(const Item& file) const;
    void MarkDeleted(ItemId project, ItemId child, bool deleted);
    // Records the file's content as that of its newest version, when contents are kept.
    void NoteVersionContent(Item& file);
    // Delete or Recover: the entry's flag and the parent's version that records it.
    void SetDeleted(ItemId project, ItemId child, bool deleted, const Stamp& stamp);

    // The start of a project's spec that a project header keeps, remembered while one
    // Write() or WriteSubtree() runs: spelling each from the root would cost the square of
    // the depth.
    const std::string& HeaderSpec(ItemId project);
    std::filesystem::path DataFile(const std::string& lowerCaseName) const;
    std::filesystem::path ItemFile(ItemId item, const char* suffix) const;
    std::string ProjectListBytes(const Item& project) const;
    void WriteItem(ItemId id);
    void WriteItemOnce(ItemId id);
    void WriteSettings() const;

    std::filesystem::path root_;
    WriterOptions options_;
    std::vector<std::unique_ptr<Item>> items_;
    std::vector<UserEntry> users_;
    NamesFileBuilder names_;
    // Next number of each 8.3 alias stem, per project.
    std::unordered_map<std::string, int> aliasNumbers_;
    std::vector<bool> letterFoldersMade_;
    std::unordered_map<ItemId, std::string> headerSpecs_;
    bool written_ = false;
};

}  // namespace vsstest
