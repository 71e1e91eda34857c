#include "testing/item_log_builder.h"

#include <limits>
#include <stdexcept>

#include "testing/delta_encoder.h"
#include "vssdb/item_header_format.h"
#include "vssdb/name_format.h"
#include "vssdb/record_format.h"

namespace vsstest {

namespace rf = vssdb::record_format;
namespace rv = vssdb::revision_format;
namespace dh = vssdb::item_header_format;

namespace {

constexpr std::size_t kMaxCommentBytes = std::numeric_limits<std::uint16_t>::max() - 1;

std::string_view StoredComment(std::string_view comment) {
    return comment.substr(0, kMaxCommentBytes);
}

// The stored length counts the terminating NUL.
std::uint16_t CommentLength(std::string_view comment) {
    return static_cast<std::uint16_t>(StoredComment(comment).size() + 1);
}

void AppendComment(std::string& file, std::string_view comment) {
    RecordBuilder mc(file, rf::kComment);
    mc.Append(StoredComment(comment));
    mc.Append(std::string_view("\0", 1));
    mc.Finish(RecordBuilder::Crc::kZero);
}

}  // namespace

ItemLogBuilder::ItemLogBuilder(bool project) : project_(project) {
    AppendItemFileHeader(bytes_, project ? dh::kProjectType : dh::kFileType);
    RecordBuilder header(bytes_, rf::kItemHeader, dh::kBodySize);
    header.Finish();
    if (!project) {
        RecordBuilder checkout(bytes_, rf::kCheckout, vssdb::checkout_format::kBodySize);
        checkout.Finish();
    }
}

std::uint32_t ItemLogBuilder::AppendRevision(Action action, const Stamp& stamp, CommentRule rule,
                                             const ActionFields& fields) {
    return AppendRevisionRecord(action, stamp, rule, {}, nullptr, fields);
}

std::uint32_t ItemLogBuilder::AppendLabel(const Stamp& stamp, std::string_view label,
                                          std::string_view labelComment) {
    const std::string comment(labelComment);
    return AppendRevisionRecord(Action::kLabel, stamp, CommentRule::kWhenGiven, label, &comment,
                                [](RecordBuilder&) {});
}

std::uint32_t ItemLogBuilder::AppendRevisionRecord(Action action, const Stamp& stamp,
                                                   CommentRule rule, std::string_view label,
                                                   const std::string* labelComment,
                                                   const ActionFields& fields) {
    if (lastVersion_ == std::numeric_limits<std::uint16_t>::max()) {
        throw std::length_error("an item cannot have more than 65535 versions");
    }
    RecordBuilder el(bytes_, rf::kRevision, rv::kBodySize);
    const auto offset = static_cast<std::uint32_t>(el.offset());
    el.U32(rv::kPrevious, lastRevision_);
    el.U16(rv::kAction, static_cast<std::uint16_t>(action));
    el.U16(rv::kVersion, ++lastVersion_);
    el.U32(rv::kTime, stamp.time);
    el.Text(rv::kUser, stamp.user, rv::kTextFieldSize - 1);
    el.Text(rv::kLabel, label, rv::kTextFieldSize - 1);
    fields(el);

    // Without a comment the offset points just past the EL (0 in the root's first one).
    const auto end = static_cast<std::uint32_t>(el.end());
    const bool hasComment = rule == CommentRule::kAlways || !stamp.comment.empty();
    el.U32(rv::kCommentOffset, !hasComment && rule == CommentRule::kRootCreation ? 0 : end);
    if (hasComment) {
        el.U16(rv::kCommentLength, CommentLength(stamp.comment));
    }
    if (labelComment != nullptr) {
        const std::uint32_t after =
            hasComment
                ? static_cast<std::uint32_t>(end + rf::kHeaderSize + CommentLength(stamp.comment))
                : end;
        el.U32(rv::kLabelCommentOffset, after);
        el.U16(rv::kLabelCommentLength, CommentLength(*labelComment));
    }
    el.Finish();
    if (hasComment) {
        AppendComment(bytes_, stamp.comment);
    }
    if (labelComment != nullptr) {
        AppendComment(bytes_, *labelComment);
    }

    ++revisionCount_;
    if (firstRevision_ == 0) {
        firstRevision_ = offset;
    }
    lastRevision_ = offset;
    return offset;
}

std::uint32_t ItemLogBuilder::AppendDelta(std::string_view previousContent,
                                          std::string_view content) {
    RecordBuilder fd(bytes_, rf::kDelta);
    fd.Append(EncodeReverseDelta(previousContent, content));
    fd.Finish();
    return static_cast<std::uint32_t>(fd.offset());
}

std::uint32_t ItemLogBuilder::AppendLink(std::string_view signature, std::uint32_t previous,
                                         std::string_view physical) {
    namespace fl = vssdb::file_link_format;
    RecordBuilder link(bytes_, signature, fl::kBodySize);
    link.U32(fl::kPrevious, previous);
    link.Text(fl::kPhysical, physical, fl::kPhysicalSize);
    link.Finish();
    return static_cast<std::uint32_t>(link.offset());
}

std::uint32_t ItemLogBuilder::AppendParentLink(std::string_view projectPhysical) {
    lastParentLink_ = AppendLink(rf::kParentProject, lastParentLink_, projectPhysical);
    return lastParentLink_;
}

std::uint32_t ItemLogBuilder::AppendBranchLink(std::string_view branchPhysical) {
    lastBranchLink_ = AppendLink(rf::kBranch, lastBranchLink_, branchPhysical);
    ++branchLinkCount_;
    return lastBranchLink_;
}

void ItemLogBuilder::BlankParentLink(std::uint32_t offset) {
    namespace fl = vssdb::file_link_format;
    const std::size_t physical = offset + rf::kHeaderSize + fl::kPhysical;
    bytes_.replace(physical, fl::kPhysicalSize, fl::kPhysicalSize, '\0');
    RefreshRecordCrc(bytes_, offset);
}

void ItemLogBuilder::RemoveLabel(std::uint32_t offset) {
    namespace rv = vssdb::revision_format;
    const std::size_t field = offset + rf::kHeaderSize + rv::kLabel;
    const std::string name = bytes_.substr(field, rv::kTextFieldSize - 1);
    bytes_[field] = '\0';
    bytes_.replace(field + 1, name.size(), name);
    RefreshRecordCrc(bytes_, offset);
}

void ItemLogBuilder::FillCheckout(std::size_t body, const Checkout& checkout,
                                  std::string_view projectSpec, std::uint32_t previous,
                                  std::uint32_t self) {
    namespace cf = vssdb::checkout_format;
    std::string& b = bytes_;
    const auto text = [&](std::size_t at, std::string_view value, std::size_t size) {
        b.replace(body + at, size, size, '\0');
        PutText(b, body + at, value, size - 1);
    };
    text(cf::kUser, checkout.stamp.user, cf::kUserSize);
    PutU32(b, body + cf::kTime, checkout.stamp.time);
    text(cf::kWorkingFolder, checkout.workingFolder, cf::kWorkingFolderSize);
    text(cf::kMachine, checkout.machine, cf::kMachineSize);
    text(cf::kProjectSpec, projectSpec, cf::kProjectSpecSize);
    text(cf::kComment, checkout.stamp.comment, cf::kCommentSize);
    PutU16(b, body + cf::kVersion, lastVersion_);
    PutU16(b, body + cf::kFlags, previous == 0 ? cf::kExclusive : 0);
    PutU32(b, body + cf::kPreviousCheckout, previous);
    PutU32(b, body + cf::kThisCheckout, self);
    PutU32(b, body + cf::kCheckoutCount, ++checkoutCount_);
}

void ItemLogBuilder::StartCheckout(const Checkout& checkout, std::string_view projectSpec) {
    namespace cf = vssdb::checkout_format;
    if (project_ || checkedOut_) {
        throw std::logic_error("only a file that is not checked out can be checked out");
    }
    const auto offset = static_cast<std::uint32_t>(cf::kRecordOffset);
    FillCheckout(cf::kRecordOffset + rf::kHeaderSize, checkout, projectSpec, 0, offset);
    RefreshRecordCrc(bytes_, cf::kRecordOffset);
    checkedOut_ = true;
    activeCheckout_ = offset;
}

void ItemLogBuilder::AddCheckout(const Checkout& checkout, std::string_view projectSpec) {
    namespace cf = vssdb::checkout_format;
    if (!checkedOut_) {
        throw std::logic_error("only a checked-out file takes another checkout");
    }
    // The first checkout is no longer the only one.
    PutU16(bytes_, cf::kRecordOffset + rf::kHeaderSize + cf::kFlags, 0);
    RefreshRecordCrc(bytes_, cf::kRecordOffset);
    RecordBuilder record(bytes_, rf::kCheckout, cf::kBodySize);
    const auto offset = static_cast<std::uint32_t>(record.offset());
    record.Finish();
    FillCheckout(offset + rf::kHeaderSize, checkout, projectSpec, activeCheckout_, offset);
    RefreshRecordCrc(bytes_, offset);
    activeCheckout_ = offset;
}

void ItemLogBuilder::EndCheckout() {
    namespace cf = vssdb::checkout_format;
    if (!checkedOut_) {
        return;
    }
    const std::size_t body = cf::kRecordOffset + rf::kHeaderSize;
    PutU16(bytes_, body + cf::kVersion, 0);
    PutU16(bytes_, body + cf::kFlags, 0);
    RefreshRecordCrc(bytes_, cf::kRecordOffset);
    checkedOut_ = false;
    activeCheckout_ = 0;
}

void ItemLogBuilder::StartAtVersion(std::uint16_t firstVersion) {
    if (revisionCount_ != 0 || firstVersion == 0) {
        throw std::logic_error("a log can only start at a later version before its first revision");
    }
    firstVersion_ = firstVersion;
    lastVersion_ = static_cast<std::uint16_t>(firstVersion - 1);
}

const std::string& ItemLogBuilder::Finish(const ItemHeaderFields& fields) {
    std::string& b = bytes_;
    const std::size_t body = dh::kRecordOffset + rf::kHeaderSize;
    auto u16 = [&](std::size_t at, std::uint16_t value) { PutU16(b, body + at, value); };
    auto u32 = [&](std::size_t at, std::uint32_t value) { PutU32(b, body + at, value); };
    auto text = [&](std::size_t at, std::string_view value, std::size_t size) {
        b.replace(body + at, size, size, '\0');
        PutText(b, body + at, value, size);
    };
    namespace nf = vssdb::name_format;

    u16(dh::kItemType, project_ ? dh::kProjectType : dh::kFileType);
    u16(dh::kRevisionCount, revisionCount_);
    u16(dh::kName + nf::kFlagsOffset, fields.name.flags);
    text(dh::kName + nf::kShortNameOffset, fields.name.shortName, nf::kShortNameSize - 1);
    u32(dh::kName + nf::kNamesOffsetOffset, fields.name.namesOffset);
    u16(dh::kFirstVersion, firstVersion_);
    text(dh::kDataExtension, fields.dataOnB ? ".B" : ".A", 2);
    u32(dh::kFirstRevision, firstRevision_);
    u32(dh::kLastRevision, lastRevision_);
    u32(dh::kEndOfData, static_cast<std::uint32_t>(b.size()));
    if (project_) {
        text(dh::kParentSpec, fields.parentSpec, dh::kParentSpecSize - 1);
        text(dh::kParentPhysical, fields.parentPhysical, dh::kPhysicalNameSize);
        u16(dh::kChildCount, fields.childCount);
        u16(dh::kSubprojectCount, fields.subprojectCount);
    } else {
        const std::uint16_t checkoutFlags = checkedOut_ ? dh::kFileLocked | dh::kFileCheckedOut : 0;
        u16(dh::kFileFlags, static_cast<std::uint16_t>(fields.fileFlags | checkoutFlags));
        text(dh::kBranchSource, fields.branchSource, dh::kPhysicalNameSize);
        u32(dh::kLastBranchRecord, lastBranchLink_);
        u32(dh::kLastParentRecord, lastParentLink_);
        u16(dh::kBranchRecordCount, branchLinkCount_);
        u16(dh::kParentCount, fields.parentCount);
        // The checkout record is the active one while the file is checked out.
        const auto checkout = static_cast<std::uint32_t>(vssdb::checkout_format::kRecordOffset);
        u32(dh::kActiveCheckout, checkedOut_ ? activeCheckout_ : 0);
        u32(dh::kIdleCheckout, checkedOut_ ? 0 : checkout);
        u32(dh::kDataCrc, fields.dataCrc);
        u32(dh::kLastCheckInTime, fields.lastCheckInTime);
        u32(dh::kModificationTime, fields.modificationTime);
        u32(dh::kCreationTime, fields.creationTime);
    }
    RefreshRecordCrc(b, dh::kRecordOffset);
    return b;
}

void ItemLogBuilder::Release() {
    std::string().swap(bytes_);
}

}  // namespace vsstest
