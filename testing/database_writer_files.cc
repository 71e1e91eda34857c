// DatabaseWriter: where each file goes and what is written into it.
#include <algorithm>
#include <stdexcept>

#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "testing/name_rules.h"
#include "testing/support_files.h"
#include "testing/writer_items.h"
#include "vssdb/crc.h"
#include "vssdb/item_header_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/record_format.h"

namespace vsstest {

namespace dh = vssdb::item_header_format;
namespace jp = vssdb::project_entry_format;

void DatabaseWriter::WriteSubtree(ItemId projectId) {
    EnsureWritable();
    LiveProject(projectId);
    headerSpecs_.clear();  // names may have changed since the last write
    // Pre-order, so that a file shared between two written projects is written once.
    std::vector<ItemId> pending{projectId};
    while (!pending.empty()) {
        const ItemId id = pending.back();
        pending.pop_back();
        Item& item = *items_[id];
        if (item.written) {
            continue;
        }
        WriteItemOnce(id);
        for (auto it = item.children.rbegin(); it != item.children.rend(); ++it) {
            pending.push_back(it->item);
        }
    }
}

void DatabaseWriter::Write() {
    EnsureWritable();
    written_ = true;
    headerSpecs_.clear();
    std::filesystem::create_directories(DataFolderPath());
    for (std::size_t id = 0; id < items_.size(); ++id) {
        const Item& item = *items_[id];
        if (!item.destroyed && !item.written) {
            WriteItemOnce(static_cast<ItemId>(id));
        }
    }
    if (options_.writeNamesFile) {
        WriteWholeFile(NamesFilePath(), names_.Bytes());
    }
    WriteWholeFile(UserFilePath(), UserFileBytes(users_));
    WriteWholeFile(DataFile("version.dat"), VersionFileBytes());
    // The counter holds the last physical name handed out.
    WriteWholeFile(DataFile("aaaaaaaa.cnt"), items_.back()->physical);
    WriteSettings();
}

void DatabaseWriter::WriteItemOnce(ItemId id) {
    Item& item = *items_[id];
    if (letterFoldersMade_.empty()) {
        letterFoldersMade_.assign(26, false);
    }
    const auto letter = static_cast<std::size_t>(item.physical[0] - 'A');
    if (!letterFoldersMade_[letter]) {
        std::filesystem::create_directories(LogPath(id).parent_path());
        letterFoldersMade_[letter] = true;
    }
    WriteItem(id);
    item.written = true;
    item.log.Release();
    std::string().swap(item.content);
}

void DatabaseWriter::WriteItem(ItemId id) {
    Item& item = *items_[id];
    ItemHeaderFields fields;
    fields.name = item.nameField;
    fields.dataOnB = item.dataRewrites % 2 == 1;
    std::string data;
    if (item.project) {
        if (id != Root()) {
            fields.parentSpec = HeaderSpec(item.parent);
            fields.parentPhysical = items_[item.parent]->physical;
        }
        fields.childCount = static_cast<std::uint16_t>(item.children.size());
        fields.subprojectCount = static_cast<std::uint16_t>(
            std::count_if(item.children.begin(), item.children.end(),
                          [&](const ChildEntry& entry) { return items_[entry.item]->project; }));
        data = ProjectListBytes(item);
    } else {
        fields.fileFlags = static_cast<std::uint16_t>(
            (item.binary ? dh::kFileBinary : 0) | (item.latestOnly ? dh::kFileLatestOnly : 0) |
            (item.parents.size() > 1 ? dh::kFileShared : 0));
        fields.branchSource = item.branchSource;
        fields.parentCount = static_cast<std::uint16_t>(item.parents.size());
        fields.dataCrc = vssdb::Crc32ZeroInit(item.content.data(), item.content.size());
        fields.lastCheckInTime = item.lastCheckInTime;
        fields.modificationTime = item.modificationTime;
        fields.creationTime = item.creationTime;
        data = item.content;
    }
    WriteWholeFile(LogPath(id), item.log.Finish(fields));
    WriteWholeFile(DataPath(id), data);
}

const std::string& DatabaseWriter::HeaderSpec(ItemId project) {
    constexpr std::size_t kKept = dh::kParentSpecSize - 1;
    static const std::string kRootSpec = "$/";
    std::vector<ItemId> below;  // projects not yet spelt, from `project` up
    ItemId at = project;
    for (; at != Root() && !headerSpecs_.contains(at); at = items_[at]->parent) {
        below.push_back(at);
    }
    const std::string* spec = at == Root() ? &kRootSpec : &headerSpecs_.at(at);
    for (auto it = below.rbegin(); it != below.rend(); ++it) {
        std::string longer = *spec;
        if (longer.size() < kKept) {
            longer += (longer.size() > 2 ? "/" : "") + items_[*it]->name;
            longer.resize(std::min(longer.size(), kKept));
        }
        spec = &headerSpecs_.emplace(*it, std::move(longer)).first->second;
    }
    return *spec;
}

std::string DatabaseWriter::ProjectListBytes(const Item& project) const {
    // Sorted by the stored short field, not the real name, as SourceSafe keeps them.
    std::vector<std::pair<std::string, const ChildEntry*>> order;
    order.reserve(project.children.size());
    for (const ChildEntry& entry : project.children) {
        order.emplace_back(AsciiLower(items_[entry.item]->nameField.shortName), &entry);
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return static_cast<std::string_view>(a.first) < static_cast<std::string_view>(b.first);
    });

    std::string bytes;
    bytes.reserve(order.size() * (vssdb::record_format::kHeaderSize + jp::kBodySize));
    for (const auto& [key, entry] : order) {
        const Item& child = *items_[entry->item];
        std::uint16_t flags = entry->deleted ? jp::kDeleted : 0;
        if (!child.project) {
            flags = static_cast<std::uint16_t>(flags | (child.binary ? jp::kBinary : 0) |
                                               (child.latestOnly ? jp::kLatestOnly : 0) |
                                               (child.parents.size() > 1 ? jp::kShared : 0) |
                                               (child.fileType << 8));
        }
        RecordBuilder record(bytes, vssdb::record_format::kProjectEntry, jp::kBodySize);
        record.U16(jp::kItemType, child.project ? dh::kProjectType : dh::kFileType);
        record.U16(jp::kFlags, flags);
        record.Name(jp::kName, child.nameField);
        record.U16(jp::kPinnedVersion, entry->pinnedVersion);
        const std::string& physical =
            entry->filesOf >= 0 ? items_[entry->filesOf]->physical : child.physical;
        record.Text(jp::kPhysical, physical, jp::kPhysicalSize);
        record.Finish();
    }
    return bytes;
}

void DatabaseWriter::WriteSettings() const {
    if (options_.writeSrcsafeIni) {
        const std::string& dataPath =
            options_.dataPathSetting.empty() ? options_.dataFolder : options_.dataPathSetting;
        WriteWholeFile(IniPath(),
                       SrcsafeIniText(dataPath, options_.extraIniText, options_.timeZoneText));
    }
    WriteWholeFile(root_ / "users.txt", UsersTxtText(users_));
    for (const UserEntry& user : users_) {
        const std::filesystem::path folder = root_ / "users" / UserFolderName(user.name);
        std::filesystem::create_directories(folder);
        WriteWholeFile(folder / "ss.ini", UserIniText());
    }
}

std::filesystem::path DatabaseWriter::IniPath() const {
    return root_ / "srcsafe.ini";
}

std::filesystem::path DatabaseWriter::DataFolderPath() const {
    return root_ /
           (options_.upperCaseFileNames ? AsciiUpper(options_.dataFolder) : options_.dataFolder);
}

std::filesystem::path DatabaseWriter::DataFile(const std::string& lowerCaseName) const {
    return DataFolderPath() /
           (options_.upperCaseFileNames ? AsciiUpper(lowerCaseName) : lowerCaseName);
}

std::filesystem::path DatabaseWriter::NamesFilePath() const {
    return DataFile("names.dat");
}

std::filesystem::path DatabaseWriter::UserFilePath() const {
    return DataFile("um.dat");
}

std::filesystem::path DatabaseWriter::ItemFile(ItemId item, const char* suffix) const {
    std::string name = AsciiLower(PhysicalName(item)) + suffix;
    if (options_.upperCaseFileNames) {
        name = AsciiUpper(name);
    }
    return DataFolderPath() / name.substr(0, 1) / name;
}

std::filesystem::path DatabaseWriter::LogPath(ItemId item) const {
    return ItemFile(item, "");
}

std::filesystem::path DatabaseWriter::DataPath(ItemId item) const {
    return ItemFile(item, Get(item, "item").dataRewrites % 2 == 1 ? ".b" : ".a");
}

}  // namespace vsstest
