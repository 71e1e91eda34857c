#include "tests/testing/written_database.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "vssdb/crc.h"
#include "vssdb/item_header_format.h"
#include "vssdb/name_format.h"
#include "vssdb/names_file_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/record_format.h"
#include "vssdb/revision_format.h"
#include "vssdb/user_file_format.h"

namespace vsstest::readback {

namespace fs = std::filesystem;
namespace rf = vssdb::record_format;
namespace rv = vssdb::revision_format;
namespace dh = vssdb::item_header_format;
namespace jp = vssdb::project_entry_format;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// A file of the data folder whatever the case it was written in.
fs::path FindEitherCase(const fs::path& folder, const std::string& lowerName) {
    for (const std::string& name : {lowerName, [&] {
                                        std::string upper = lowerName;
                                        std::transform(upper.begin(), upper.end(), upper.begin(),
                                                       ::toupper);
                                        return upper;
                                    }()}) {
        if (fs::exists(folder / name)) {
            return folder / name;
        }
    }
    return {};
}

class Problems {
  public:
    explicit Problems(std::vector<std::string>& out) : out_(out) {}
    void Expect(bool ok, const fs::path& file, const std::string& what) {
        if (!ok) {
            out_.push_back(file.string() + ": " + what);
        }
    }

  private:
    std::vector<std::string>& out_;
};

void CheckRecordFile(const fs::path& path, const std::string& bytes, bool hasHeader,
                     Problems& problems) {
    const auto records = ListRecordsInBytes(bytes, hasHeader);
    const std::size_t end = records.empty()
                                ? (hasHeader ? vssdb::file_header_format::kSize : 0)
                                : records.back().offset + rf::kHeaderSize + records.back().length;
    problems.Expect(
        end == bytes.size(), path,
        "records end at " + std::to_string(end) + ", file at " + std::to_string(bytes.size()));
    for (const RecordInfo& record : records) {
        const std::uint16_t expected =
            record.signature == rf::kComment
                ? 0
                : vssdb::RecordCrc(bytes.data() + record.offset + rf::kHeaderSize, record.length);
        problems.Expect(
            record.crc == expected, path,
            record.signature + " at " + std::to_string(record.offset) + " has a wrong CRC");
    }
}

struct ItemSummary {
    bool project = false;
    std::uint16_t parentCount = 0;
    std::uint16_t fileFlags = 0;
};

void CheckComment(const Log& log, const fs::path& path, const Revision& revision,
                  std::size_t offsetField, std::size_t lengthField, Problems& problems) {
    const std::uint32_t offset = revision.body.U32(offsetField);
    const std::uint16_t length = revision.body.U16(lengthField);
    const std::string where = "version " + std::to_string(revision.version);
    if (length == 0) {
        const std::size_t elEnd = revision.offset + rf::kHeaderSize + rv::kBodySize;
        const bool rootCreation = offset == 0 && revision.action == 1 && revision.version == 1;
        problems.Expect(
            offsetField == rv::kLabelCommentOffset ? offset == 0 : offset == elEnd || rootCreation,
            path, where + ": an absent comment must point past its EL");
        return;
    }
    const auto it = std::find_if(log.records().begin(), log.records().end(),
                                 [&](const RecordInfo& r) { return r.offset == offset; });
    problems.Expect(
        it != log.records().end() && it->signature == rf::kComment && it->length == length, path,
        where + ": comment offset or length does not match an MC record");
    if (it != log.records().end() && it->length > 0) {
        problems.Expect(log.bytes()[offset + rf::kHeaderSize + it->length - 1] == '\0', path,
                        where + ": comment without its NUL");
    }
}

void CheckLog(const fs::path& path, std::map<std::string, ItemSummary>& items,
              std::map<std::string, std::vector<ProjectEntry>>& listings, Problems& problems) {
    const Log log(path);
    CheckRecordFile(path, log.bytes(), true, problems);
    const auto& records = log.records();
    if (records.empty() || records[0].offset != dh::kRecordOffset ||
        records[0].signature != rf::kItemHeader || records[0].length != dh::kBodySize) {
        problems.Expect(false, path, "no item header at its place");
        return;
    }
    const vssdb::ByteView header = log.Header();
    std::vector<const RecordInfo*> revisions;
    for (const RecordInfo& record : records) {
        if (record.signature == rf::kRevision) {
            problems.Expect(record.length == rv::kBodySize, path, "EL body is not 404 bytes");
            revisions.push_back(&record);
        }
    }
    problems.Expect(header.U16(dh::kRevisionCount) == revisions.size(), path, "EL count");
    problems.Expect(
        !revisions.empty() && header.U32(dh::kFirstRevision) == revisions.front()->offset, path,
        "first EL offset");
    problems.Expect(!revisions.empty() && header.U32(dh::kLastRevision) == revisions.back()->offset,
                    path, "last EL offset");
    problems.Expect(header.U32(dh::kEndOfData) == log.bytes().size(), path,
                    "end of data is not the file size");

    const auto chain = log.Revisions();
    problems.Expect(chain.size() == revisions.size(), path, "the version chain skips ELs");
    for (std::size_t i = 0; i < chain.size(); ++i) {
        if (i + 1 < chain.size()) {
            problems.Expect(chain[i].version == chain[i + 1].version + 1, path,
                            "versions are not contiguous");
        }
        CheckComment(log, path, chain[i], rv::kCommentOffset, rv::kCommentLength, problems);
        CheckComment(log, path, chain[i], rv::kLabelCommentOffset, rv::kLabelCommentLength,
                     problems);
        // A file kept as latest only stores no reverse deltas.
        const bool latestOnly = header.U16(dh::kItemType) == dh::kFileType &&
                                (header.U16(dh::kFileFlags) & dh::kFileLatestOnly) != 0;
        if (chain[i].action == static_cast<std::uint16_t>(rv::Action::kCheckIn) && !latestOnly) {
            const std::uint32_t delta = chain[i].body.U32(rv::kCheckInDelta);
            problems.Expect(std::any_of(records.begin(), records.end(),
                                        [&](const RecordInfo& r) {
                                            return r.offset == delta && r.signature == rf::kDelta;
                                        }),
                            path, "check-in without its FD record");
        }
    }
    if (!chain.empty()) {
        problems.Expect(
            chain.back().version == header.U16(dh::kFirstVersion) && chain.back().previous == 0,
            path, "the chain does not end at the first version");
    }

    const std::string extension(header.Bytes(dh::kDataExtension, 2));
    problems.Expect(extension == ".A" || extension == ".B", path, "data extension " + extension);
    const std::string other = extension == ".A" ? ".b" : ".a";
    const fs::path dataFile =
        FindEitherCase(path.parent_path(), Lower(path.filename().string() + extension));
    problems.Expect(!dataFile.empty(), path, "current data file missing");
    problems.Expect(
        FindEitherCase(path.parent_path(), Lower(path.filename().string()) + other).empty(), path,
        "stale data file beside the current one");

    const std::string physical = [&] {
        std::string upper = path.filename().string();
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        return upper;
    }();
    ItemSummary& summary = items[physical];
    summary.project = log.IsProject();
    if (!summary.project) {
        const auto checkout = std::find_if(records.begin(), records.end(), [](const RecordInfo& r) {
            return r.signature == rf::kCheckout;
        });
        problems.Expect(checkout != records.end() &&
                            checkout->offset == vssdb::checkout_format::kRecordOffset &&
                            checkout->length == vssdb::checkout_format::kBodySize,
                        path, "checkout record missing or misplaced");
        namespace cf = vssdb::checkout_format;
        const std::uint32_t active = header.U32(dh::kActiveCheckout);
        const bool checkedOut = (header.U16(dh::kFileFlags) & dh::kFileCheckedOut) != 0;
        // The active checkout is the record every file has, or another one when the file
        // has several checkouts.
        const auto activeRecord =
            std::find_if(records.begin(), records.end(), [&](const RecordInfo& r) {
                return r.offset == active && r.signature == rf::kCheckout;
            });
        problems.Expect(checkedOut == (active != 0) &&
                            header.U32(dh::kIdleCheckout) == (checkedOut ? 0 : cf::kRecordOffset),
                        path, "checkout offsets disagree with the checked-out flag");
        problems.Expect(active == 0 || activeRecord != records.end(), path,
                        "the active checkout is no checkout record");
        if (checkedOut && activeRecord != records.end()) {
            const std::uint16_t version = log.Body(*activeRecord).U16(cf::kVersion);
            problems.Expect(!chain.empty() && version >= 1 && version <= chain.front().version,
                            path, "checked out at a version the file does not have");
        }
        const auto parents = log.Links(false);
        summary.parentCount = header.U16(dh::kParentCount);
        summary.fileFlags = header.U16(dh::kFileFlags);
        problems.Expect(
            std::count_if(parents.begin(), parents.end(),
                          [](const std::string& p) { return !p.empty(); }) == summary.parentCount,
            path, "PF records and parent count disagree");
        problems.Expect(log.Links(true).size() == header.U16(dh::kBranchRecordCount), path,
                        "BF count");
        if (!dataFile.empty()) {
            const std::string content = Slurp(dataFile);
            problems.Expect(
                vssdb::Crc32ZeroInit(content.data(), content.size()) == header.U32(dh::kDataCrc),
                path, "data CRC");
        }
        return;
    }
    if (dataFile.empty()) {
        return;
    }
    CheckRecordFile(dataFile, Slurp(dataFile), false, problems);
    const auto entries = ReadProjectList(dataFile);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        problems.Expect(
            Lower(entries[i - 1].shortName) <= Lower(entries[i].shortName), dataFile,
            "entries not sorted: " + entries[i - 1].shortName + " before " + entries[i].shortName);
    }
    problems.Expect(header.U16(dh::kChildCount) == entries.size(), path, "child count");
    problems.Expect(
        header.U16(dh::kSubprojectCount) ==
            std::count_if(entries.begin(), entries.end(),
                          [](const ProjectEntry& e) { return e.type == dh::kProjectType; }),
        path, "subproject count");
    for (const ProjectEntry& entry : entries) {
        listings[entry.physical].push_back(entry);
    }
}

}  // namespace

Log::Log(const fs::path& path)
    : path_(path.string()), bytes_(Slurp(path)), records_(ListRecordsInBytes(bytes_, true)) {}

vssdb::ByteView Log::Body(const RecordInfo& record) const {
    return vssdb::ByteView(bytes_, &path_).Sub(record.offset + rf::kHeaderSize, record.length);
}

vssdb::ByteView Log::Body(std::size_t recordOffset) const {
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const RecordInfo& r) { return r.offset == recordOffset; });
    if (it == records_.end()) {
        throw std::out_of_range(path_ + ": no record at " + std::to_string(recordOffset));
    }
    return Body(*it);
}

vssdb::ByteView Log::Header() const {
    return Body(dh::kRecordOffset);
}

bool Log::IsProject() const {
    return Header().U16(dh::kItemType) == dh::kProjectType;
}

std::vector<Revision> Log::Revisions() const {
    std::vector<Revision> out;
    std::set<std::uint32_t> seen;
    for (std::uint32_t at = Header().U32(dh::kLastRevision); at != 0 && seen.insert(at).second;) {
        Revision revision;
        revision.offset = at;
        revision.body = Body(at);
        revision.previous = revision.body.U32(rv::kPrevious);
        revision.action = revision.body.U16(rv::kAction);
        revision.version = revision.body.U16(rv::kVersion);
        revision.user = std::string(revision.body.CString(rv::kUser, rv::kTextFieldSize));
        revision.label = std::string(revision.body.CString(rv::kLabel, rv::kTextFieldSize));
        revision.comment =
            Comment(revision.body.U32(rv::kCommentOffset), revision.body.U16(rv::kCommentLength));
        revision.labelComment = Comment(revision.body.U32(rv::kLabelCommentOffset),
                                        revision.body.U16(rv::kLabelCommentLength));
        out.push_back(revision);
        at = revision.previous;
    }
    return out;
}

std::string Log::Comment(std::uint32_t offset, std::uint16_t length) const {
    const bool present =
        length > 0 && std::any_of(records_.begin(), records_.end(), [&](const RecordInfo& r) {
            return r.offset == offset && r.signature == rf::kComment;
        });
    if (!present) {
        return {};
    }
    const vssdb::ByteView body = Body(offset);
    return std::string(body.CString(0, std::min<std::size_t>(length, body.size())));
}

std::vector<std::string> Log::Links(bool branches) const {
    namespace fl = vssdb::file_link_format;
    std::vector<std::string> out;
    std::set<std::uint32_t> seen;
    std::uint32_t at = Header().U32(branches ? dh::kLastBranchRecord : dh::kLastParentRecord);
    while (at != 0 && seen.insert(at).second) {
        const vssdb::ByteView body = Body(at);
        out.emplace_back(body.CString(fl::kPhysical, fl::kPhysicalSize));
        at = body.U32(fl::kPrevious);
    }
    return out;
}

std::vector<ProjectEntry> ReadProjectList(const fs::path& dataFile) {
    namespace nf = vssdb::name_format;
    const std::string bytes = Slurp(dataFile);
    const std::string name = dataFile.string();
    std::vector<ProjectEntry> entries;
    for (const RecordInfo& record : ListRecordsInBytes(bytes, false)) {
        const vssdb::ByteView body =
            vssdb::ByteView(bytes, &name).Sub(record.offset + rf::kHeaderSize, record.length);
        ProjectEntry entry;
        entry.type = body.U16(jp::kItemType);
        entry.flags = body.U16(jp::kFlags);
        entry.shortName =
            std::string(body.CString(jp::kName + nf::kShortNameOffset, nf::kShortNameSize));
        entry.namesOffset = body.U32(jp::kName + nf::kNamesOffsetOffset);
        entry.pinnedVersion = body.U16(jp::kPinnedVersion);
        entry.physical = std::string(body.CString(jp::kPhysical, jp::kPhysicalSize));
        entries.push_back(entry);
    }
    return entries;
}

std::map<std::uint16_t, std::string> ReadNameRecord(const fs::path& namesFile,
                                                    std::uint32_t offset) {
    namespace nf = vssdb::names_file_format;
    const std::string bytes = Slurp(namesFile);
    const std::string name = namesFile.string();
    const vssdb::ByteView file(bytes, &name);
    const auto length = file.U32(offset + rf::kLengthOffset);
    if (file.Bytes(offset + rf::kSignatureOffset, 2) != rf::kName) {
        throw std::runtime_error("no SN record at " + std::to_string(offset));
    }
    const vssdb::ByteView body = file.Sub(offset + rf::kHeaderSize, length);
    const std::uint16_t count = body.U16(nf::kCount);
    const std::size_t strings = nf::kTable + count * nf::kTableEntrySize;
    std::map<std::uint16_t, std::string> out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = nf::kTable + i * nf::kTableEntrySize;
        const std::size_t at = strings + body.U16(entry + 2);
        out[body.U16(entry)] = std::string(body.CString(at, body.size() - at));
    }
    return out;
}

std::vector<User> ReadUsers(const fs::path& userFile) {
    namespace uf = vssdb::user_file_format;
    const std::string bytes = Slurp(userFile);
    const std::string name = userFile.string();
    std::vector<User> users;
    for (const RecordInfo& record : ListRecordsInBytes(bytes, true)) {
        if (record.signature != rf::kUser) {
            continue;
        }
        const vssdb::ByteView body =
            vssdb::ByteView(bytes, &name).Sub(record.offset + rf::kHeaderSize, record.length);
        users.push_back({std::string(body.CString(uf::kUserName, uf::kUserNameSize)),
                         body.U16(uf::kPasswordHash)});
    }
    return users;
}

std::vector<std::string> CheckDatabase(const fs::path& dataFolder) {
    std::vector<std::string> out;
    Problems problems(out);
    std::map<std::string, ItemSummary> items;
    std::map<std::string, std::vector<ProjectEntry>> listings;
    for (const auto& folder : fs::directory_iterator(dataFolder)) {
        if (!folder.is_directory() || folder.path().filename().string().size() != 1) {
            continue;
        }
        for (const auto& file : fs::directory_iterator(folder.path())) {
            if (file.path().filename().string().find('.') != std::string::npos) {
                continue;
            }
            try {
                CheckLog(file.path(), items, listings, problems);
            } catch (const std::exception& error) {
                problems.Expect(false, file.path(), std::string("unreadable: ") + error.what());
            }
        }
    }
    problems.Expect(items.count("AAAAAAAA") == 1, dataFolder, "no root project");

    for (const auto& [physical, entries] : listings) {
        const auto item = items.find(physical);
        problems.Expect(item != items.end(), dataFolder,
                        "a child list names missing item " + physical);
        if (item == items.end() || item->second.project) {
            continue;
        }
        const bool shared = entries.size() > 1;
        problems.Expect(item->second.parentCount == entries.size(), dataFolder,
                        physical + ": parent count disagrees with the child lists");
        problems.Expect(((item->second.fileFlags & dh::kFileShared) != 0) == shared, dataFolder,
                        physical + ": shared flag in its header");
        for (const ProjectEntry& entry : entries) {
            problems.Expect(((entry.flags & jp::kShared) != 0) == shared, dataFolder,
                            physical + ": shared flag in a child list");
        }
    }

    if (const fs::path names = FindEitherCase(dataFolder, "names.dat"); !names.empty()) {
        const std::string bytes = Slurp(names);
        CheckRecordFile(names, bytes, false, problems);
        const auto records = ListRecordsInBytes(bytes, false);
        problems.Expect(!records.empty() && records[0].signature == rf::kNamesHeader, names,
                        "no HN record first");
        const std::string name = names.string();
        problems.Expect(vssdb::ByteView(bytes, &name)
                                .U32(rf::kHeaderSize +
                                     vssdb::names_file_format::kHeaderEndOffset) == bytes.size(),
                        names, "HN end offset is not the file size");
    }
    if (const fs::path users = FindEitherCase(dataFolder, "um.dat"); !users.empty()) {
        const std::string bytes = Slurp(users);
        CheckRecordFile(users, bytes, true, problems);
        problems.Expect(bytes.compare(0, vssdb::file_header_format::kUsersSignature.size(),
                                      vssdb::file_header_format::kUsersSignature) == 0,
                        users, "file header");
        const auto list = ReadUsers(users);
        for (std::size_t i = 1; i < list.size(); ++i) {
            problems.Expect(Lower(list[i - 1].name) <= Lower(list[i].name), users,
                            "users not sorted");
        }
    } else {
        problems.Expect(false, dataFolder, "no um.dat");
    }
    return out;
}

}  // namespace vsstest::readback

namespace vsstest {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

}  // namespace vsstest
