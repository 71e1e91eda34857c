#include "vssdb/item_log.h"

#include <algorithm>
#include <unordered_set>

#include "vssdb/declared_size.h"
#include "vssdb/error.h"
#include "vssdb/file_header_check.h"
#include "vssdb/item_header_format.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"
#include "vssdb/revision_format.h"

namespace vssdb {
namespace {

// A log read whole: its records straight from memory.
class InMemoryLog final : public RecordSource {
  public:
    explicit InMemoryLog(PhysicalFile file) : file_(std::move(file)) {}
    const std::string& path() const override { return file_.path(); }
    std::size_t size() const override { return file_.bytes().size(); }
    ByteView Bytes(std::size_t offset, std::size_t length) override {
        return file_.view().Sub(offset, length);
    }
    // The bytes are a copy: a record that passed once always will.
    bool PassedChecksum(std::size_t offset) const override {
        return std::binary_search(passed_.begin(), passed_.end(), offset);
    }
    void NotePassedChecksum(std::size_t offset) override {
        const auto at = std::lower_bound(passed_.begin(), passed_.end(), offset);
        if (at == passed_.end() || *at != offset) {
            passed_.insert(at, offset);
        }
    }

  private:
    PhysicalFile file_;
    std::vector<std::size_t> passed_;  // offsets of records, ascending
};

std::string VersionCount(std::uint16_t count) {
    return std::to_string(count) + (count == 1 ? " version" : " versions");
}

}  // namespace

ItemHeader ParseItemHeader(const ByteView& view) {
    return ParseItemHeader(view, view.size());
}

ItemHeader ParseItemHeader(const ByteView& view, std::size_t fileSize) {
    namespace ih = item_header_format;
    const std::string& path = view.file();
    // Said first: only an item header of the usual size tells how much of the file to read.
    if (view.size() >= ih::kRecordOffset + record_format::kHeaderSize &&
        view.U32(ih::kRecordOffset + record_format::kLengthOffset) != ih::kBodySize) {
        ThrowCorruptAt(path, ih::kRecordOffset,
                       "item header record of " + std::to_string(view.U32(ih::kRecordOffset)) +
                           " bytes (" + std::to_string(ih::kBodySize) + " expected)");
    }
    const Record record = ReadRecordAt(view, ih::kRecordOffset, record_format::kItemHeader);
    const ByteView& body = record.body;
    ItemHeader header;
    const std::uint16_t type = body.U16(ih::kItemType);
    if (type != ih::kProjectType && type != ih::kFileType) {
        ThrowCorruptAt(path, record.offset, "unknown item type " + std::to_string(type));
    }
    header.type = static_cast<ItemType>(type);
    header.revisionCount = body.U16(ih::kRevisionCount);
    header.name = ReadNameField(body, ih::kName);
    header.firstVersion = body.U16(ih::kFirstVersion);
    const std::string_view extension = body.Bytes(ih::kDataExtension, 2);
    header.dataExtension = extension[1] == 'b' || extension[1] == 'B' ? 'B' : 'A';
    header.firstRevision = body.U32(ih::kFirstRevision);
    header.lastRevision = body.U32(ih::kLastRevision);
    header.dataEnd = body.U32(ih::kEndOfData);
    if (header.type == ItemType::kProject) {
        header.childCount = body.U16(ih::kChildCount);
        header.subprojectCount = body.U16(ih::kSubprojectCount);
        header.parentSpec = std::string(body.CString(ih::kParentSpec, ih::kParentSpecSize));
        header.parentPhysical =
            std::string(body.CString(ih::kParentPhysical, ih::kPhysicalNameSize));
    } else {
        header.fileFlags = body.U16(ih::kFileFlags);
        header.branchSource = std::string(body.CString(ih::kBranchSource, ih::kPhysicalNameSize));
        header.lastParentRecord = body.U32(ih::kLastParentRecord);
        header.parentCount = body.U16(ih::kParentCount);
        header.activeCheckout = body.U32(ih::kActiveCheckout);
        header.dataCrc = body.U32(ih::kDataCrc);
    }
    if (header.lastRevision == 0) {
        ThrowCorruptAt(path, record.offset, "item header names no versions");
    }
    if (header.dataEnd < kItemFileHeadSize) {
        ThrowCorruptAt(path, record.offset,
                       "item header puts the end of the data at byte " +
                           std::to_string(header.dataEnd) + ", inside the header itself");
    }
    if (fileSize < header.dataEnd) {
        ThrowCorrupt(path, "cut short: the end of the file (" + std::to_string(fileSize) +
                               " bytes) comes before the end of the data (" +
                               std::to_string(header.dataEnd) +
                               " bytes) that its item header records");
    }
    return header;
}

Revision ParseRevision(const Record& record) {
    namespace rv = revision_format;
    using rv::Action;
    const ByteView& body = record.body;
    Revision rev;
    rev.offset = static_cast<std::uint32_t>(record.offset);
    rev.previous = body.U32(rv::kPrevious);
    rev.action = body.U16(rv::kAction);
    rev.version = body.U16(rv::kVersion);
    rev.time = body.U32(rv::kTime);
    rev.user = std::string(body.CString(rv::kUser, rv::kTextFieldSize));
    rev.label = std::string(body.CString(rv::kLabel, rv::kTextFieldSize));
    if (static_cast<Action>(rev.action) == Action::kLabel && rev.label.empty()) {
        rev.labelRemoved = true;
        rev.label = std::string(body.CString(rv::kLabel + 1, rv::kTextFieldSize - 1));
    }
    const rv::ActionLayout layout = rv::LayoutOf(static_cast<Action>(rev.action));
    const auto text = [&body](std::size_t offset, std::size_t size) {
        return offset == 0 ? std::string() : std::string(body.CString(offset, size));
    };
    if (layout.name != 0) {
        rev.name = ReadNameField(body, layout.name);
    }
    if (layout.oldName != 0) {
        rev.oldName = ReadNameField(body, layout.oldName);
    }
    rev.spec = text(layout.spec, rv::kSpecSize);
    rev.physical = text(layout.physical, rv::kPhysicalSize);
    rev.branchSource = text(layout.branchSource, rv::kPhysicalSize);
    rev.archivePath = text(layout.archivePath, rv::kSpecSize);
    rev.purged = layout.purged != 0 ? body.I16(layout.purged) : std::int16_t{0};
    rev.shareKind = layout.shareKind != 0 ? body.I16(layout.shareKind) : std::int16_t{0};
    rev.pinnedVersion =
        layout.pinnedVersion != 0 ? body.I16(layout.pinnedVersion) : std::int16_t{0};
    rev.delta = layout.delta != 0 ? body.U32(layout.delta) : 0;
    return rev;
}

OpenedLog OpenLog(const std::string& path, ReadDirection direction, std::size_t wholeReadLimit) {
    PositionedFile file(path);
    // Small logs, most of them, in one read; of the others the headers only.
    std::string head;
    file.ReadAt(0, file.sizeOnDisk() <= wholeReadLimit ? file.sizeOnDisk() : kItemFileHeadSize,
                head);
    const ByteView headView(head, &file.path());
    CheckItemFileHeader(headView);
    OpenedLog opened;
    opened.header = ParseItemHeader(headView, file.sizeOnDisk());
    const std::size_t dataEnd = opened.header.dataEnd;
    if (dataEnd <= head.size()) {
        head.resize(dataEnd);
        opened.records =
            std::make_unique<InMemoryLog>(PhysicalFile::FromBytes(file.path(), std::move(head)));
    } else {
        file.AdviseScatteredReads();
        opened.records =
            std::make_unique<LogWindow>(std::move(file), dataEnd, direction, std::move(head));
    }
    return opened;
}

ItemLog::ItemLog(PhysicalFile file) {
    CheckItemFileHeader(file.view());
    header_ = ParseItemHeader(file.view());
    file.KeepFirst(header_.dataEnd);
    records_ = std::make_unique<InMemoryLog>(std::move(file));
}

ItemLog::ItemLog(OpenedLog opened)
    : records_(std::move(opened.records)), header_(std::move(opened.header)) {}

ItemLog ItemLog::Read(const std::string& path) {
    return ItemLog(OpenLog(path, ReadDirection::kBackward));
}

void ItemLog::CheckNewest(const Revision& newest) const {
    // 16-bit fields: the sum wraps as the stored version number does.
    const auto expected =
        static_cast<std::uint16_t>(header_.firstVersion + header_.revisionCount - 1);
    if (newest.version != expected) {
        ThrowCorruptAt(path(), newest.offset,
                       "the newest version is " + std::to_string(newest.version) +
                           ", but the item header counts " + VersionCount(header_.revisionCount) +
                           " from version " + std::to_string(header_.firstVersion) +
                           " (a record duplicated or lost inside the file shifts the rest)");
    }
}

std::string ItemLog::ReadComment(DisjointRecords& records, std::size_t revisionOffset,
                                 std::uint32_t offset, std::uint16_t length) const {
    if (length == 0) {
        return {};
    }
    if (offset == 0 || offset >= records_->size()) {
        ThrowCorruptAt(
            path(), revisionOffset,
            "comment offset " + std::to_string(offset) + " of this version lies outside the file");
    }
    const Record record = records.Read(*records_, offset, record_format::kComment);
    return std::string(record.body.CString(0, record.body.size()));
}

Revision ItemLog::ReadRevisionAt(DisjointRecords& records, std::size_t offset) const {
    namespace rv = revision_format;
    const Record record = records.Read(*records_, offset, record_format::kRevision);
    Revision rev = ParseRevision(record);
    // Taken before the comments are read, which may read over the record's bytes.
    const std::uint32_t commentOffset = record.body.U32(rv::kCommentOffset);
    const std::uint16_t commentLength = record.body.U16(rv::kCommentLength);
    const bool label = static_cast<rv::Action>(rev.action) == rv::Action::kLabel;
    const std::uint32_t labelOffset = label ? record.body.U32(rv::kLabelCommentOffset) : 0;
    const std::uint16_t labelLength = label ? record.body.U16(rv::kLabelCommentLength) : 0;
    rev.comment = ReadComment(records, offset, commentOffset, commentLength);
    if (label) {
        // A label's two comments may be one record: that is no overlap.
        rev.labelComment = labelLength != 0 && commentLength != 0 && labelOffset == commentOffset
                               ? rev.comment
                               : ReadComment(records, offset, labelOffset, labelLength);
    }
    return rev;
}

std::vector<Revision> ItemLog::ReadRevisions() const {
    std::vector<Revision> revisions;
    std::unordered_set<std::uint32_t> seen;
    // No record of the chain may share bytes with another, so the chain is at most as long
    // as the file allows, whatever its offsets say.
    DisjointRecords records;
    std::uint32_t offset = header_.lastRevision;
    while (offset != 0) {
        if (!seen.insert(offset).second) {
            ThrowCorruptAt(path(), offset, "version chain loops back to an earlier record");
        }
        Revision revision = ReadRevisionAt(records, offset);
        if (revisions.empty()) {
            CheckNewest(revision);
        } else if (revision.version >= revisions.back().version) {
            ThrowCorruptAt(path(), offset,
                           "version " + std::to_string(revision.version) +
                               " comes before version " + std::to_string(revisions.back().version) +
                               " in the version chain, whose numbers must fall");
        }
        revisions.push_back(std::move(revision));
        offset = revisions.back().previous;
    }
    if (static_cast<std::uint16_t>(revisions.size()) != header_.revisionCount) {
        ThrowCorrupt(path(), "the version chain holds " +
                                 VersionCount(static_cast<std::uint16_t>(revisions.size())) +
                                 ", the item header counts " +
                                 std::to_string(header_.revisionCount));
    }
    return revisions;
}

Revision ItemLog::ReadLatestRevision() const {
    DisjointRecords records;
    Revision newest = ReadRevisionAt(records, header_.lastRevision);
    CheckNewest(newest);
    return newest;
}

}  // namespace vssdb
