#include "vssdb/database.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "vssdb/error.h"
#include "vssdb/name_characters.h"
#include "vssdb/password_hash.h"
#include "vssdb/project_entries.h"
#include "vssdb/srcsafe_ini.h"
#include "vssdb/text_case.h"

namespace vssdb {
namespace {

// Branch sources form a chain from copy to original; anything this deep is a loop.
constexpr int kMaxBranchDepth = 64;

// The names of `path` ("A/b.txt", "A//b.txt/"), empty ones left out.
void SplitNames(std::string_view path, std::vector<std::string_view>& names) {
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (!name.empty()) {
            names.push_back(name);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
}

std::vector<std::string_view> SplitSpec(std::string_view spec) {
    if (spec.empty() || spec.front() != '$' || (spec.size() > 1 && spec[1] != '/')) {
        throw Error(
            ErrorKind::kItemNotFound,
            "\"" + std::string(spec) + "\" is not a SourceSafe path (it must start with $/)");
    }
    spec.remove_prefix(1);
    std::vector<std::string_view> names;
    SplitNames(spec, names);
    return names;
}

void IndexLiveChildren(ChildList& children) {
    for (std::size_t i = 0; i < children.entries.size(); ++i) {
        const Child& child = children.entries[i];
        if (!child.deleted) {
            children.exact.emplace(child.name, i);
            children.folded.emplace(FoldCase(child.name), i);
        }
    }
}

}  // namespace

const Child* ChildList::FindLive(std::string_view name) const {
    const std::string key(name);
    auto it = exact.find(key);
    if (it == exact.end()) {
        it = folded.find(FoldCase(name));
        if (it == folded.end()) {
            return nullptr;
        }
    }
    return &entries[it->second];
}

Database::Database(std::string iniPath, std::string dataPath)
    : iniPath_(std::move(iniPath)), folder_(std::move(dataPath)) {}

Database::~Database() = default;

std::unique_ptr<Database> Database::Open(const std::string& iniPath, const OpenOptions& options) {
    std::unique_ptr<Database> db(new Database(iniPath, LocateDataFolder(iniPath)));

    // The root project's log tells the format; an old database is refused right here.
    const std::string rootLog = db->folder_.FindLog(kRootPhysical);
    if (rootLog.empty()) {
        throw Error(ErrorKind::kNotFound, db->folder_.ExpectedLogPath(kRootPhysical),
                    "root project not found; is this a SourceSafe database?");
    }
    const ItemLog root = ItemLog::Read(rootLog);
    if (root.header().type != ItemType::kProject) {
        ThrowCorrupt(rootLog, "the root item is not a project");
    }

    db->usersPath_ = db->folder_.FindFile("um.dat");
    if (db->usersPath_.empty()) {
        throw Error(ErrorKind::kNotFound, db->folder_.path() + "/um.dat", "user file not found");
    }
    db->users_ = ReadUsers(PhysicalFile::Read(db->usersPath_));

    db->RefreshNames();
    db->codePage_.Decide(options.codePage, options.tieBreakCodePage, options.settleCodePageLate);
    db->prefetchThreads_ = options.prefetchThreads;
    return db;
}

void Database::AllowProvisionalCodePage() {
    codePage_.AllowProvisional();
}

bool Database::ConfirmCodePage(const std::function<void(std::size_t)>& logDone) {
    return codePage_.Confirm(logDone);
}

int Database::codePage() {
    return codePage_.codePage();
}

CodePageOrigin Database::codePageOrigin() {
    return codePage_.origin();
}

std::string Database::DefaultUserName() {
    for (const char* variable : {"LOGNAME", "USER", "LNAME", "USERNAME"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    if (const passwd* entry = ::getpwuid(::geteuid())) {
        return entry->pw_name;
    }
    return {};
}

void Database::Login(std::string_view user, std::string_view password) {
    const std::string name = user.empty() ? DefaultUserName() : std::string(user);
    const std::string upper = UpperCase(password);
    // An ASCII name and password need no code page, unless the name is not found among
    // the users of ASCII names: a non-ASCII one may still fold to it.
    const bool asciiLogin = IsAscii(name) && IsAscii(upper);
    if (asciiLogin) {
        for (const UserRecord& record : users_) {
            if (IsAscii(record.name) && EqualsIgnoringCase(record.name, name) &&
                PasswordHash(upper) == record.passwordHash) {
                return;
            }
        }
    }
    const bool asciiUsers = std::all_of(users_.begin(), users_.end(), [](const UserRecord& record) {
        return IsAscii(record.name);
    });
    if (!asciiLogin || !asciiUsers) {
        codePage_.PrepareForNonAscii();
    }
    const std::optional<std::string> encoded = codePage_.Encode(upper);
    bool known = false;
    for (const UserRecord& record : users_) {
        if (!EqualsIgnoringCase(Decode(record.name), name)) {
            continue;
        }
        known = true;
        if (encoded && PasswordHash(*encoded) == record.passwordHash) {
            return;
        }
    }
    if (!known) {
        throw Error(ErrorKind::kUserNotFound,
                    "user \"" + name + "\" is not a user of this database (" + usersPath_ + ")");
    }
    throw Error(ErrorKind::kBadPassword, "wrong password for user \"" + name + "\"");
}

std::string Database::Decode(std::string_view bytes) {
    return codePage_.Decode(bytes);
}

bool Database::RefreshNames() {
    const std::string path = folder_.FindFile("names.dat");
    // The stamp is taken before reading: a change made meanwhile shows at the next look.
    const FileStamp stamp = StampOf(path);
    if (namesStamp_ && stamp == *namesStamp_) {
        return false;
    }
    // A names.dat that is missing or cannot be read is no reason to refuse the database:
    // each item that needs it is reported instead.
    if (path.empty()) {
        names_ = NamesFile::Unreadable(
            Error(ErrorKind::kNotFound, folder_.path() + "/names.dat", "file not found"));
    } else {
        try {
            names_ = NamesFile(NamesFile::ReadNamesFile(path));
        } catch (const Error& error) {
            names_ = NamesFile::Unreadable(error);
        }
    }
    namesStamp_ = stamp;
    return true;
}

Database::ShownName Database::NameToShow(const NameField& name, bool project) {
    const auto lookUp = [&] { return names_.LongNameOf(name, project); };
    std::optional<std::string> longName;
    try {
        try {
            longName = lookUp();
        } catch (const Error&) {
            // An item another client added since names.dat was read points past our copy.
            if (!RefreshNames()) {
                throw;
            }
            longName = lookUp();
        }
    } catch (const Error& error) {
        // The short field is the name itself in most cases; what it may hide is told.
        if (name.shortName.empty()) {
            throw;
        }
        return {Decode(name.shortName),
                DoubtAboutShortName(name.shortName, {error.file(), error.reason()})};
    }
    return {Decode(longName ? *longName : name.shortName), std::nullopt};
}

std::string Database::DisplayName(const NameField& name, bool project) {
    return NameToShow(name, project).name;
}

std::shared_ptr<const ItemLog> Database::RecentLog(const std::string& physical) {
    if (!recentLog_ || recentPhysical_ != physical) {
        recentLog_.reset();  // one log at a time
        recentLog_ = std::make_shared<const ItemLog>(ReadLog(physical));
        recentPhysical_ = physical;
    }
    return recentLog_;
}

ItemLog Database::ReadLog(const std::string& physical) {
    const std::string path = folder_.FindLog(physical);
    if (path.empty()) {
        throw Error(ErrorKind::kCorrupt, folder_.ExpectedLogPath(physical), "item file missing");
    }
    ItemLog log = ItemLog::Read(path);
    codePage_.LogRead(physical, log);
    return log;
}

// How many of the child lists read last are remembered as read ahead already.
constexpr std::size_t kListsAhead = 8;

namespace {

bool StartIsCached(const std::string& path) {
    try {
        return PositionedFile(path).StartIsCached();
    } catch (const Error&) {
        return false;
    }
}

}  // namespace

std::shared_ptr<const ChildList> Database::Children(const std::string& projectPhysical) {
    const std::shared_ptr<const ChildList> children = ReadChildren(projectPhysical);
    // Lookups from the root ask for the same lists again and again: each is read ahead once.
    if (prefetchThreads_ > 0 &&
        std::find(listsAhead_.begin(), listsAhead_.end(), children) == listsAhead_.end()) {
        if (listsAhead_.size() == kListsAhead) {
            listsAhead_.erase(listsAhead_.begin());
        }
        listsAhead_.push_back(children);
        ReadAheadLogsOf(*children);
    }
    return children;
}

void Database::ReadAheadLogsOf(const ChildList& children) {
    std::vector<std::string> paths;
    for (const Child& child : children.entries) {
        if (child.type != ItemType::kFile) {
            continue;
        }
        std::string path = folder_.FindLog(child.physical);
        if (path.empty()) {
            continue;
        }
        if (paths.empty() && StartIsCached(path)) {
            return;  // a warm cache: nothing to gain
        }
        paths.push_back(std::move(path));
    }
    if (paths.empty()) {
        return;
    }
    if (!prefetcher_) {
        prefetcher_ = std::make_unique<LogPrefetcher>(prefetchThreads_);
    }
    prefetcher_->Prefetch(std::move(paths));
}

std::shared_ptr<const ChildList> Database::ReadChildren(const std::string& projectPhysical) {
    if (const auto* cached = children_.Find(projectPhysical)) {
        return *cached;
    }
    ItemLog log = ReadLog(projectPhysical);
    if (log.header().type != ItemType::kProject) {
        ThrowCorrupt(log.path(), "expected a project, found a file");
    }
    auto children = std::make_shared<ChildList>();
    std::string dataPath = folder_.FindData(projectPhysical, log.header().dataExtension);
    if (dataPath.empty()) {
        // The list takes turns between .a and .b: another client may have just moved it.
        const char extension = log.header().dataExtension;
        log = ReadLog(projectPhysical);
        if (log.header().dataExtension != extension) {
            dataPath = folder_.FindData(projectPhysical, log.header().dataExtension);
        }
    }
    // A project that never had a child may have no data file at all; one whose header
    // counts children must have its list.
    if (dataPath.empty() && log.header().childCount != 0) {
        ThrowCorrupt(log.path() + "." + static_cast<char>(std::tolower(log.header().dataExtension)),
                     "child list missing (the project counts " +
                         std::to_string(log.header().childCount) + " children)");
    }
    if (!dataPath.empty()) {
        const std::vector<ProjectEntry> entries = ReadChildList(dataPath, log.header().childCount);
        codePage_.ChildListRead(projectPhysical, entries);
        for (const ProjectEntry& entry : entries) {
            Child child = MakeChild(entry.type, entry.name, entry.physical, dataPath);
            child.pinnedVersion = entry.pinnedVersion;
            child.fileType = entry.fileType();
            child.deleted = entry.deleted();
            child.shared = entry.shared();
            children->entries.push_back(std::move(child));
        }
    } else {
        codePage_.ChildListRead(projectPhysical, {});
    }
    IndexLiveChildren(*children);
    children_.Put(projectPhysical, children, children->entries.size() + 1);
    return children;
}

Child Database::MakeChild(ItemType type, const NameField& name, const std::string& physical,
                          const std::string& listPath) {
    Child child;
    child.type = type;
    try {
        ShownName shown = NameToShow(name, type == ItemType::kProject);
        child.name = std::move(shown.name);
        child.nameDoubt = std::move(shown.doubt);
    } catch (const Error& error) {
        // A damaged name record spoils only the child that points at it.
        child.name = Decode(name.shortName);
        child.nameError = error.AsKind(ErrorKind::kCorrupt);
    }
    if (const std::optional<char> forbidden = ForbiddenNameCharacter(child.name)) {
        child.name = EscapeForbiddenNameCharacters(child.name);
        if (!child.nameError) {
            child.nameError =
                Error(ErrorKind::kCorrupt, listPath,
                      "the entry of " + physical + " is named \"" + child.name + "\", and " +
                          DescribeNameCharacter(*forbidden) + " is not allowed in names");
        }
    }
    child.physical = physical;
    child.storedName = name.shortName;
    return child;
}

std::shared_ptr<const ChildList> Database::ChildrenAt(const std::string& projectPhysical,
                                                      const Moment& moment) {
    const ItemLog log = ReadLog(projectPhysical);
    if (log.header().type != ItemType::kProject) {
        ThrowCorrupt(log.path(), "expected a project, found a file");
    }
    const std::vector<Revision> revisions = log.ReadRevisions();
    const int version = vssdb::VersionAt(revisions, projectPhysical, moment, false);
    auto children = std::make_shared<ChildList>();
    for (const PastEntry& entry : ReplayChildList(revisions, version)) {
        Child child = MakeChild(entry.type, entry.name, entry.physical, log.path());
        child.pinnedVersion = entry.pinnedVersion;
        child.deleted = entry.deleted;
        child.shared = entry.shared;
        if (entry.destroyedIn != 0 && folder_.FindLog(entry.physical).empty()) {
            child.gone = Error(ErrorKind::kItemNotFound,
                               "destroyed since, in version " + std::to_string(entry.destroyedIn) +
                                   " of its project: it cannot be got back");
        }
        children->entries.push_back(std::move(child));
    }
    IndexLiveChildren(*children);
    return children;
}

int Database::VersionAt(const std::string& physical, const Moment& moment, bool withContent) {
    return vssdb::VersionAt(History(physical), physical, moment, withContent);
}

std::optional<Moment> Database::LabelMoment(const std::string& physical, std::string_view label) {
    for (const Revision& revision : History(physical)) {
        if (revision.action == 0 && !revision.labelRemoved && !revision.label.empty() &&
            EqualsIgnoringCase(Decode(revision.label), label)) {
            return Moment{revision.time, physical, revision.version};
        }
    }
    return std::nullopt;
}

LocatedItem Database::Locate(std::string_view spec) {
    LocatedItem root;
    root.physical = std::string(kRootPhysical);
    return Descend(std::move(root), nullptr, SplitSpec(spec), [&] { return std::string(spec); });
}

LocatedItem Database::LocateBelow(const LocatedItem& project, const ChildList& children,
                                  std::string_view relative) {
    std::vector<std::string_view> names;
    SplitNames(relative, names);
    return Descend(project, &children, names, [&] {
        std::string spec = project.path.Spec();
        if (!project.path.IsRoot()) {
            spec += '/';
        }
        return spec.append(relative);
    });
}

LocatedItem Database::Descend(LocatedItem item, const ChildList* children,
                              const std::vector<std::string_view>& parts,
                              const std::function<std::string()>& spec) {
    std::shared_ptr<const ChildList> read;
    for (const std::string_view part : parts) {
        if (item.type != ItemType::kProject) {
            throw Error(ErrorKind::kItemNotFound,
                        "\"" + spec() + "\": " + item.path.Spec() + " is a file, not a project");
        }
        if (children == nullptr) {
            read = Children(item.physical);
            children = read.get();
        }
        const Child* child = children->FindLive(part);
        children = nullptr;
        if (child == nullptr) {
            throw Error(ErrorKind::kItemNotFound, "\"" + spec() + "\": no item named \"" +
                                                      std::string(part) + "\" in " +
                                                      item.path.Spec());
        }
        if (child->nameError) {
            throw *child->nameError;
        }
        item.path = item.path.Child(child->name);
        item.parentPhysical = std::move(item.physical);
        item.entryName = child->storedName;
        item.nameDoubt = child->nameDoubt;
        if (child->type == ItemType::kProject) {
            item.path = ClaimProject(child->physical, std::move(item.path));
        }
        item.type = child->type;
        item.physical = child->physical;
        item.pinnedVersion = child->pinnedVersion;
        item.fileType = child->fileType;
    }
    return item;
}

ItemPath Database::ClaimProject(const std::string& physical, ItemPath path) {
    std::string key = physical;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto [claimed, first] = projectPlaces_.try_emplace(std::move(key), path);
    if (!first && !claimed->second.SamePlaceAs(path)) {
        ThrowCorrupt(
            folder_.ExpectedLogPath(physical),
            "project listed in two places, " + claimed->second.Spec() + " and " + path.Spec());
    }
    return claimed->second;
}

void Database::ForgetCachedItems() {
    children_.Clear();
    latestVersions_.Clear();
    projectPlaces_.clear();
    projectPlaces_.emplace(std::string(kRootPhysical), ItemPath());
    recentLog_.reset();
    try {
        RefreshNames();
    } catch (const Error&) {
        // Half rewritten, perhaps: the copy we have stays until the file reads again.
    }
}

int Database::LatestVersion(const std::string& physical) {
    if (const int* cached = latestVersions_.Find(physical)) {
        return *cached;
    }
    const int version = RecentLog(physical)->ReadLatestRevision().version;
    latestVersions_.Put(physical, version, 1);
    return version;
}

std::vector<Revision> Database::History(const std::string& physical) {
    std::vector<Revision> history;
    std::vector<std::string> visited;  // a few links at most
    std::string current = physical;
    int below = 0;  // versions at or above this come from a later link of the chain
    for (int depth = 0; !current.empty(); ++depth) {
        if (depth > kMaxBranchDepth ||
            std::find(visited.begin(), visited.end(), current) != visited.end()) {
            ThrowCorrupt(folder_.ExpectedLogPath(physical),
                         "branch sources loop back to " + current);
        }
        visited.push_back(current);
        const std::shared_ptr<const ItemLog> read =
            depth == 0 ? RecentLog(current) : std::make_shared<const ItemLog>(ReadLog(current));
        const ItemLog& log = *read;
        std::vector<Revision> revisions = log.ReadRevisions();
        if (depth == 0) {
            if (!revisions.empty()) {
                latestVersions_.Put(physical, revisions.front().version, 1);
            }
            history = std::move(revisions);
        } else {
            for (Revision& revision : revisions) {
                if (revision.version < below) {
                    revision.branchLog = current;
                    history.push_back(std::move(revision));
                }
            }
        }
        const ItemHeader& header = log.header();
        if (header.type != ItemType::kFile || header.branchSource.empty() ||
            header.firstVersion <= 1) {
            break;
        }
        below = header.firstVersion;
        current = header.branchSource;
    }
    return history;
}

}  // namespace vssdb
