#include "testing/database_writer.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "testing/name_rules.h"
#include "testing/writer_items.h"
#include "vssdb/name_format.h"
#include "vssdb/password_hash.h"
#include "vssdb/revision_format.h"

namespace vsstest {

namespace rv = vssdb::revision_format;
using Action = rv::Action;

namespace {

Stamp WithoutComment(const Stamp& stamp) {
    return {stamp.user, stamp.time, {}};
}

std::string MadeUpContent(const std::string& name, int version, bool binary) {
    std::string content = binary ? std::string("\x00\x01\x02\xFF", 4) : std::string();
    content += name + " version " + std::to_string(version) + "\r\n";
    return content;
}

void RequireName(const std::string& name) {
    if (name.empty()) {
        throw std::invalid_argument("an item needs a name");
    }
}

// The action part shared by creations, additions, deletions and recoveries.
ItemLogBuilder::ActionFields NameAndPhysical(const NameField& name, const std::string& physical) {
    return [&name, &physical](RecordBuilder& el) {
        el.Name(rv::kCommonName, name);
        el.Text(rv::kCommonPhysical, physical, rv::kPhysicalSize);
    };
}

}  // namespace

DatabaseWriter::DatabaseWriter(std::filesystem::path root, WriterOptions options)
    : root_(std::move(root)), options_(std::move(options)) {
    const std::uint16_t emptyPasswordHash = vssdb::PasswordHash({});
    users_ = {{"Admin", emptyPasswordHash}, {"Guest", emptyPasswordHash}};

    Item& item = *items_[NewItem(true)];
    item.nameField.flags = vssdb::name_format::kProjectFlag;
    // Every real root log leaves the physical name of its creation empty.
    const std::string noPhysical;
    item.log.AppendRevision(Action::kCreateProject, options_.rootCreation,
                            CommentRule::kRootCreation,
                            NameAndPhysical(item.nameField, noPhysical));
}

DatabaseWriter::~DatabaseWriter() = default;

void DatabaseWriter::AddUser(std::string name, std::string password) {
    AddUserWithHash(std::move(name), vssdb::PasswordHash(AsciiUpper(password)));
}

void DatabaseWriter::AddUserWithHash(std::string name, std::uint16_t passwordHash) {
    EnsureWritable();
    users_.push_back({std::move(name), passwordHash});
}

void DatabaseWriter::RemoveUser(const std::string& name) {
    EnsureWritable();
    const std::string folded = AsciiLower(name);
    std::erase_if(users_, [&](const UserEntry& user) { return AsciiLower(user.name) == folded; });
}

ItemId DatabaseWriter::AddProject(ItemId parentId, std::string name, const Stamp& stamp) {
    EnsureWritable();
    LiveProject(parentId);
    EnsureUnwritten(parentId);
    RequireName(name);
    const ItemId id = NewItem(true);
    Item& item = *items_[id];
    Item& parent = *items_[parentId];
    AssignName(item, std::move(name), parentId);
    item.parent = parentId;
    item.log.AppendRevision(Action::kCreateProject, stamp, CommentRule::kAlways,
                            NameAndPhysical(item.nameField, item.physical));
    parent.children.push_back({id});
    parent.log.AppendRevision(Action::kAddProject, WithoutComment(stamp), CommentRule::kWhenGiven,
                              NameAndPhysical(item.nameField, item.physical));
    ++parent.dataRewrites;
    return id;
}

ItemId DatabaseWriter::AddFile(ItemId parentId, std::string name, const Stamp& stamp, bool binary,
                               std::optional<std::string> content) {
    EnsureWritable();
    LiveProject(parentId);
    EnsureUnwritten(parentId);
    RequireName(name);
    const ItemId id = NewItem(false);
    Item& file = *items_[id];
    Item& parent = *items_[parentId];
    AssignName(file, std::move(name), parentId);
    file.binary = binary;
    file.content = content ? std::move(*content) : MadeUpContent(file.name, 1, binary);
    file.creationTime = file.modificationTime = file.lastCheckInTime = stamp.time;
    AppendParentLink(file, parentId);
    file.log.AppendRevision(Action::kCreateFile, stamp, CommentRule::kAlways,
                            NameAndPhysical(file.nameField, file.physical));
    NoteVersionContent(file);
    parent.children.push_back({id});
    parent.log.AppendRevision(Action::kAddFile, WithoutComment(stamp), CommentRule::kWhenGiven,
                              NameAndPhysical(file.nameField, file.physical));
    ++parent.dataRewrites;
    return id;
}

void DatabaseWriter::CheckIn(ItemId fileId, const Stamp& stamp, std::string projectSpec,
                             std::optional<std::string> content) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    EnsureUnwritten(fileId);
    if (projectSpec.empty()) {
        projectSpec = ProjectSpec(FirstListingProject(file));
    }
    std::string next = content ? std::move(*content)
                               : MadeUpContent(file.name, file.log.lastVersion() + 1, file.binary);
    const std::uint32_t delta = file.latestOnly ? 0 : file.log.AppendDelta(file.content, next);
    file.log.AppendRevision(Action::kCheckIn, stamp, CommentRule::kAlways, [&](RecordBuilder& el) {
        el.U32(rv::kCheckInDelta, delta);
        el.Text(rv::kCheckInSpec, projectSpec, rv::kSpecSize - 1);
    });
    file.content = std::move(next);
    if (file.latestOnly) {
        file.keptFrom = file.log.lastVersion();
    }
    NoteVersionContent(file);
    file.modificationTime = file.lastCheckInTime = stamp.time;
    ++file.dataRewrites;
    file.log.EndCheckout();
}

void DatabaseWriter::CheckOut(ItemId fileId, const Checkout& checkout) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    EnsureUnwritten(fileId);
    if (file.log.checkedOut()) {
        throw std::invalid_argument("the file is already checked out");
    }
    const std::string spec = checkout.projectSpec.empty() ? ProjectSpec(FirstListingProject(file))
                                                          : checkout.projectSpec;
    file.log.StartCheckout(checkout, spec);
}

void DatabaseWriter::CheckOutAgain(ItemId fileId, const Checkout& checkout) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    EnsureUnwritten(fileId);
    if (!file.log.checkedOut()) {
        throw std::invalid_argument("the file is not checked out");
    }
    const std::string spec = checkout.projectSpec.empty() ? ProjectSpec(FirstListingProject(file))
                                                          : checkout.projectSpec;
    file.log.AddCheckout(checkout, spec);
}

void DatabaseWriter::UndoCheckOut(ItemId fileId) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    EnsureUnwritten(fileId);
    if (!file.log.checkedOut()) {
        throw std::invalid_argument("the file is not checked out");
    }
    file.log.EndCheckout();
}

void DatabaseWriter::Label(ItemId id, std::string label, const Stamp& stamp,
                           std::string labelComment) {
    EnsureWritable();
    Item& item = Get(id, "item");
    if (item.destroyed) {
        throw std::invalid_argument("cannot label a destroyed item");
    }
    EnsureUnwritten(id);
    const std::uint32_t offset = item.log.AppendLabel(stamp, label, labelComment);
    item.labels.emplace_back(std::move(label), offset);
    if (!item.project) {
        NoteVersionContent(item);
    }
}

void DatabaseWriter::RemoveLabel(ItemId id, const std::string& label) {
    EnsureWritable();
    Item& item = Get(id, "item");
    EnsureUnwritten(id);
    const auto found = std::find_if(item.labels.rbegin(), item.labels.rend(),
                                    [&](const auto& applied) { return applied.first == label; });
    if (found == item.labels.rend()) {
        throw std::invalid_argument("no label " + label + " to remove");
    }
    item.log.RemoveLabel(found->second);
    item.labels.erase(std::next(found).base());
}

void DatabaseWriter::KeepLatestOnly(ItemId fileId) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    EnsureUnwritten(fileId);
    file.latestOnly = true;
}

void DatabaseWriter::SetFileType(ItemId fileId, std::uint8_t type) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    EnsureUnwritten(fileId);
    file.fileType = type;
}

void DatabaseWriter::NoteVersionContent(Item& file) {
    if (options_.keepVersionContents) {
        file.versionContents.push_back(file.content);
    }
}

std::optional<std::string> DatabaseWriter::VersionContent(ItemId fileId, int version) const {
    if (!options_.keepVersionContents) {
        throw std::logic_error("the writer keeps no version contents unless asked to");
    }
    const Item* file = &Get(fileId, "file");
    while (version < file->log.firstVersion() && file->branchSourceItem >= 0) {
        file = &Get(file->branchSourceItem, "file");
    }
    const int first = file->log.firstVersion();
    if (file->project || version < 1 || version < first || version > file->log.lastVersion()) {
        throw std::invalid_argument("the file has no version " + std::to_string(version));
    }
    if (version < file->keptFrom) {
        return std::nullopt;
    }
    return file->versionContents.at(static_cast<std::size_t>(version - first));
}

void DatabaseWriter::Share(ItemId fileId, ItemId intoId, const Stamp& stamp) {
    EnsureWritable();
    Item& file = LiveFile(fileId);
    Item& into = LiveProject(intoId);
    EnsureUnwritten(fileId);
    EnsureUnwritten(intoId);
    if (std::any_of(file.parents.begin(), file.parents.end(),
                    [&](const ParentLink& parent) { return parent.project == intoId; })) {
        throw std::invalid_argument("the project already lists that file");
    }
    const std::string sourceSpec = ProjectSpec(FirstListingProject(file));
    into.children.push_back({fileId});
    AppendParentLink(file, intoId);
    into.log.AppendRevision(Action::kShareFile, stamp, CommentRule::kWhenGiven,
                            [&](RecordBuilder& el) {
                                el.Text(rv::kShareSpec, sourceSpec, rv::kSpecSize - 1);
                                el.Name(rv::kShareName, file.nameField);
                                el.I16(rv::kShareKind, -1);
                                el.Text(rv::kSharePhysical, file.physical, rv::kPhysicalSize);
                            });
    ++into.dataRewrites;
}

void DatabaseWriter::Pin(ItemId projectId, ItemId fileId, int version, const Stamp& stamp) {
    EnsureWritable();
    Item& project = LiveProject(projectId);
    Item& file = LiveFile(fileId);
    ChildEntry& entry = EntryOf(projectId, fileId);
    EnsureUnwritten(projectId);
    if (version < 1 || version > file.log.lastVersion()) {
        throw std::invalid_argument("no such version to pin");
    }
    entry.pinnedVersion = static_cast<std::uint16_t>(version);
    const std::string spec = ProjectSpec(projectId);
    project.log.AppendRevision(
        Action::kShareFile, stamp, CommentRule::kWhenGiven, [&](RecordBuilder& el) {
            el.Text(rv::kShareSpec, spec, rv::kSpecSize - 1);
            el.Name(rv::kShareName, file.nameField);
            el.I16(rv::kShareKind, 0);
            el.I16(rv::kSharePinnedVersion, static_cast<std::int16_t>(version));
            el.Text(rv::kSharePhysical, file.physical, rv::kPhysicalSize);
        });
    ++project.dataRewrites;
}

void DatabaseWriter::Unpin(ItemId projectId, ItemId fileId, const Stamp& stamp) {
    EnsureWritable();
    Item& project = LiveProject(projectId);
    Item& file = LiveFile(fileId);
    ChildEntry& entry = EntryOf(projectId, fileId);
    EnsureUnwritten(projectId);
    if (entry.pinnedVersion == 0) {
        throw std::invalid_argument("the file is not pinned there");
    }
    const auto wasPinned = static_cast<std::int16_t>(entry.pinnedVersion);
    entry.pinnedVersion = 0;
    const std::string spec = ProjectSpec(projectId);
    project.log.AppendRevision(Action::kShareFile, stamp, CommentRule::kWhenGiven,
                               [&](RecordBuilder& el) {
                                   el.Text(rv::kShareSpec, spec, rv::kSpecSize - 1);
                                   el.Name(rv::kShareName, file.nameField);
                                   el.I16(rv::kShareKind, wasPinned);
                                   el.Text(rv::kSharePhysical, file.physical, rv::kPhysicalSize);
                               });
    ++project.dataRewrites;
}

ItemId DatabaseWriter::Branch(ItemId projectId, ItemId fileId, const Stamp& stamp) {
    EnsureWritable();
    LiveProject(projectId);
    LiveFile(fileId);
    EntryOf(projectId, fileId);
    EnsureUnwritten(projectId);
    EnsureUnwritten(fileId);
    const ItemId id = NewItem(false);
    Item& branch = *items_[id];
    Item& source = *items_[fileId];
    Item& project = *items_[projectId];
    if (source.log.lastVersion() == std::numeric_limits<std::uint16_t>::max()) {
        throw std::invalid_argument("the file has no version number left to branch at");
    }

    branch.name = source.name;
    branch.nameField = source.nameField;
    branch.binary = source.binary;
    branch.content = source.content;
    branch.branchSource = source.physical;
    branch.branchSourceItem = fileId;
    branch.creationTime = branch.modificationTime = branch.lastCheckInTime = stamp.time;
    branch.log.StartAtVersion(static_cast<std::uint16_t>(source.log.lastVersion() + 1));
    AppendParentLink(branch, projectId);
    const auto fields = [&](RecordBuilder& el) {
        el.Name(rv::kBranchName, branch.nameField);
        el.Text(rv::kBranchPhysical, branch.physical, rv::kPhysicalSize);
        el.Text(rv::kBranchSource, source.physical, rv::kPhysicalSize);
    };
    branch.log.AppendRevision(Action::kBranchStart, stamp, CommentRule::kWhenGiven, fields);
    NoteVersionContent(branch);

    // The source keeps its log (the branch's older versions live there) but loses this project.
    source.log.AppendBranchLink(branch.physical);
    DropParent(source, projectId);
    ChildEntry& entry = EntryOf(projectId, fileId);
    entry.item = id;
    entry.pinnedVersion = 0;
    project.log.AppendRevision(Action::kBranchFile, WithoutComment(stamp), CommentRule::kWhenGiven,
                               fields);
    ++project.dataRewrites;
    return id;
}

void DatabaseWriter::Delete(ItemId parentId, ItemId childId, const Stamp& stamp) {
    SetDeleted(parentId, childId, true, stamp);
}

void DatabaseWriter::Recover(ItemId parentId, ItemId childId, const Stamp& stamp) {
    SetDeleted(parentId, childId, false, stamp);
}

void DatabaseWriter::SetDeleted(ItemId parentId, ItemId childId, bool deleted, const Stamp& stamp) {
    EnsureWritable();
    Item& parent = LiveProject(parentId);
    EnsureUnwritten(parentId);
    if (EntryOf(parentId, childId).deleted == deleted) {
        throw std::invalid_argument(deleted ? "the entry is already deleted"
                                            : "the entry is not deleted");
    }
    MarkDeleted(parentId, childId, deleted);
    const Item& child = *items_[childId];
    const Action action = deleted
                              ? (child.project ? Action::kDeleteProject : Action::kDeleteFile)
                              : (child.project ? Action::kRecoverProject : Action::kRecoverFile);
    parent.log.AppendRevision(action, stamp, CommentRule::kWhenGiven,
                              NameAndPhysical(child.nameField, child.physical));
    ++parent.dataRewrites;
}

void DatabaseWriter::Destroy(ItemId parentId, ItemId childId, const Stamp& stamp) {
    EnsureWritable();
    Item& parent = LiveProject(parentId);
    const ChildEntry& entry = EntryOf(parentId, childId);
    EnsureUnwritten(parentId);
    EnsureSubtreeUnwritten(childId);
    const std::int16_t purged = entry.deleted ? 1 : 0;
    std::erase_if(parent.children, [&](const ChildEntry& e) { return e.item == childId; });

    Item& child = *items_[childId];
    parent.log.AppendRevision(child.project ? Action::kDestroyProject : Action::kDestroyFile, stamp,
                              CommentRule::kWhenGiven, [&](RecordBuilder& el) {
                                  el.Name(rv::kDestroyName, child.nameField);
                                  el.I16(rv::kDestroyPurged, purged);
                                  el.Text(rv::kDestroyPhysical, child.physical, rv::kPhysicalSize);
                              });
    ++parent.dataRewrites;
    if (child.project) {
        DestroySubtree(childId);
    } else {
        DropParent(child, parentId);
        child.destroyed = child.parents.empty();
    }
}

void DatabaseWriter::Rename(ItemId parentId, ItemId childId, std::string newName,
                            const Stamp& stamp) {
    EnsureWritable();
    Item& parent = LiveProject(parentId);
    EntryOf(parentId, childId);
    EnsureUnwritten(parentId);
    EnsureUnwritten(childId);
    RequireName(newName);
    Item& child = *items_[childId];
    const NameField oldName = child.nameField;
    AssignName(child, std::move(newName), parentId);
    parent.log.AppendRevision(child.project ? Action::kRenameProject : Action::kRenameFile, stamp,
                              CommentRule::kWhenGiven, [&](RecordBuilder& el) {
                                  el.Name(rv::kRenameNewName, child.nameField);
                                  el.Name(rv::kRenameOldName, oldName);
                                  el.Text(rv::kRenamePhysical, child.physical, rv::kPhysicalSize);
                              });
    ++parent.dataRewrites;
}

void DatabaseWriter::Move(ItemId projectId, ItemId newParentId, const Stamp& stamp) {
    EnsureWritable();
    Item& project = LiveProject(projectId);
    Item& newParent = LiveProject(newParentId);
    if (projectId == Root()) {
        throw std::invalid_argument("the root project cannot move");
    }
    for (ItemId at = newParentId; at != -1; at = items_[at]->parent) {
        if (at == projectId) {
            throw std::invalid_argument("a project cannot move into itself");
        }
    }
    const ItemId oldParentId = project.parent;
    if (oldParentId == newParentId) {
        throw std::invalid_argument("the project is already there");
    }
    // Every project below stores its parent's spec, which the move changes.
    EnsureSubtreeUnwritten(projectId);
    EnsureUnwritten(newParentId);
    EnsureUnwritten(oldParentId);
    Item& oldParent = *items_[oldParentId];
    const ChildEntry entry = EntryOf(oldParentId, projectId);
    const std::string oldSpec = ProjectSpec(oldParentId);
    const std::string newSpec = ProjectSpec(newParentId);
    std::erase_if(oldParent.children, [&](const ChildEntry& e) { return e.item == projectId; });
    newParent.children.push_back(entry);
    project.parent = newParentId;

    const auto fields = [&](const std::string& otherSpec) {
        return [&](RecordBuilder& el) {
            el.Text(rv::kMoveSpec, otherSpec, rv::kSpecSize - 1);
            el.Name(rv::kMoveName, project.nameField);
            el.Text(rv::kMovePhysical, project.physical, rv::kPhysicalSize);
        };
    };
    newParent.log.AppendRevision(Action::kMoveFrom, stamp, CommentRule::kWhenGiven,
                                 fields(oldSpec));
    oldParent.log.AppendRevision(Action::kMoveTo, stamp, CommentRule::kWhenGiven, fields(newSpec));
    ++newParent.dataRewrites;
    ++oldParent.dataRewrites;
}

std::string DatabaseWriter::PhysicalName(ItemId item) const {
    return Get(item, "item").physical;
}

std::string DatabaseWriter::ProjectSpec(ItemId projectId) const {
    if (!Get(projectId, "project").project) {
        throw std::invalid_argument("not a project");
    }
    std::vector<const std::string*> names;
    for (ItemId at = projectId; at != Root(); at = items_[at]->parent) {
        names.push_back(&items_[at]->name);
    }
    std::string spec = "$/";
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        spec += **it;
        if (it + 1 != names.rend()) {
            spec += '/';
        }
    }
    return spec;
}

bool DatabaseWriter::IsBinary(ItemId file) const {
    return Get(file, "file").binary;
}

int DatabaseWriter::CurrentVersion(ItemId item) const {
    return Get(item, "item").log.lastVersion();
}

DatabaseWriter::Item& DatabaseWriter::Get(ItemId id, const char* what) {
    return const_cast<Item&>(std::as_const(*this).Get(id, what));
}

const DatabaseWriter::Item& DatabaseWriter::Get(ItemId id, const char* what) const {
    if (id < 0 || static_cast<std::size_t>(id) >= items_.size()) {
        throw std::invalid_argument(std::string("no such ") + what + ": " + std::to_string(id));
    }
    return *items_[id];
}

DatabaseWriter::Item& DatabaseWriter::LiveProject(ItemId id) {
    Item& item = Get(id, "project");
    if (!item.project || item.destroyed) {
        throw std::invalid_argument("not a live project: " + std::to_string(id));
    }
    return item;
}

DatabaseWriter::Item& DatabaseWriter::LiveFile(ItemId id) {
    Item& item = Get(id, "file");
    if (item.project || item.destroyed) {
        throw std::invalid_argument("not a live file: " + std::to_string(id));
    }
    return item;
}

void DatabaseWriter::PointEntryAt(ItemId project, ItemId child, ItemId other) {
    EnsureWritable();
    EnsureUnwritten(project);
    Get(other, "item");
    EntryOf(project, child).filesOf = other;
}

DatabaseWriter::ChildEntry& DatabaseWriter::EntryOf(ItemId projectId, ItemId child) {
    Item& project = LiveProject(projectId);
    for (ChildEntry& entry : project.children) {
        if (entry.item == child) {
            return entry;
        }
    }
    throw std::invalid_argument("project " + std::to_string(projectId) + " does not list item " +
                                std::to_string(child));
}

void DatabaseWriter::EnsureWritable() const {
    if (written_) {
        throw std::logic_error("the database has already been written");
    }
}

void DatabaseWriter::EnsureUnwritten(ItemId item) const {
    if (Get(item, "item").written) {
        throw std::logic_error("item " + std::to_string(item) + " (" + items_[item]->physical +
                               ") has already been written");
    }
}

void DatabaseWriter::EnsureSubtreeUnwritten(ItemId id) const {
    EnsureUnwritten(id);
    for (const ChildEntry& entry : items_[id]->children) {
        EnsureSubtreeUnwritten(entry.item);
    }
}

ItemId DatabaseWriter::NewItem(bool project) {
    const auto id = static_cast<ItemId>(items_.size());
    auto item = std::make_unique<Item>(project);
    item->physical = PhysicalNameAt(static_cast<std::uint32_t>(id));
    items_.push_back(std::move(item));
    return id;
}

void DatabaseWriter::AssignName(Item& item, std::string name, ItemId aliasProject) {
    NameField field;
    field.flags = item.project ? vssdb::name_format::kProjectFlag : 0;
    field.shortName = ShortNameField(name);
    const bool shortened = field.shortName != name;
    NameEntries entries;
    if (item.project) {
        if (shortened) {
            entries.emplace_back(NameKind::kProjectLong, name);
        }
    } else if (shortened || !IsDosName(name)) {
        const DosAliasParts parts = DosAliasPartsOf(name);
        const std::string key = items_[aliasProject]->physical + '/' + AsciiLower(parts.stem) +
                                '.' + AsciiLower(parts.extension);
        const std::string alias = DosAlias(parts, ++aliasNumbers_[key]);
        if (shortened) {
            entries = {
                {NameKind::kLong, name}, {NameKind::kDos, alias}, {NameKind::kMac, MacName(name)}};
        } else {
            entries = {{NameKind::kDos, alias}};
        }
    }
    if (!entries.empty()) {
        field.namesOffset = names_.Add(entries);
    }
    item.name = std::move(name);
    item.nameField = std::move(field);
}

void DatabaseWriter::AppendParentLink(Item& file, ItemId project) {
    file.parents.push_back({project, file.log.AppendParentLink(items_[project]->physical)});
}

void DatabaseWriter::DropParent(Item& file, ItemId project) {
    const auto it =
        std::find_if(file.parents.begin(), file.parents.end(),
                     [&](const ParentLink& parent) { return parent.project == project; });
    if (it != file.parents.end()) {
        file.log.BlankParentLink(it->recordOffset);
        file.parents.erase(it);
    }
}

void DatabaseWriter::DestroySubtree(ItemId projectId) {
    Item& project = *items_[projectId];
    project.destroyed = true;
    for (const ChildEntry& entry : project.children) {
        Item& child = *items_[entry.item];
        if (child.project) {
            DestroySubtree(entry.item);
        } else {
            DropParent(child, projectId);
            child.destroyed = child.parents.empty();
        }
    }
}

ItemId DatabaseWriter::FirstListingProject(const Item& file) const {
    if (file.parents.empty()) {
        throw std::invalid_argument("the file is in no project");
    }
    // A project where the file is not deleted, as for a user who checks it in.
    const auto live = std::find_if(file.parents.begin(), file.parents.end(),
                                   [](const ParentLink& parent) { return !parent.deleted; });
    return (live != file.parents.end() ? *live : file.parents.front()).project;
}

void DatabaseWriter::MarkDeleted(ItemId projectId, ItemId childId, bool deleted) {
    EntryOf(projectId, childId).deleted = deleted;
    for (ParentLink& parent : items_[childId]->parents) {
        if (parent.project == projectId) {
            parent.deleted = deleted;
        }
    }
}

}  // namespace vsstest
