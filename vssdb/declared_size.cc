#include "vssdb/declared_size.h"

#include "vssdb/byte_view.h"
#include "vssdb/crc.h"
#include "vssdb/item_header_format.h"
#include "vssdb/names_file_format.h"
#include "vssdb/record_format.h"

namespace vssdb {
namespace {

namespace rf = record_format;

// The u32 at `field` of the record at `offset`, when that record is an intact `signature`
// record of `bodySize` bytes; `fallback` otherwise.
std::size_t FieldOfIntactRecord(std::string_view head, std::size_t offset,
                                std::string_view signature, std::size_t bodySize, std::size_t field,
                                std::size_t fallback) {
    if (head.size() < offset + rf::kHeaderSize + bodySize) {
        return fallback;
    }
    const ByteView view(head, nullptr);
    const std::string_view body = head.substr(offset + rf::kHeaderSize, bodySize);
    const std::uint16_t stored = view.U16(offset + rf::kCrcOffset);
    if (view.U32(offset + rf::kLengthOffset) != bodySize ||
        view.Bytes(offset + rf::kSignatureOffset, 2) != signature ||
        (stored != 0 && stored != RecordCrc(body))) {
        return fallback;
    }
    return view.U32(offset + rf::kHeaderSize + field);
}

}  // namespace

std::size_t ItemFileDataEnd(std::string_view head) {
    namespace ih = item_header_format;
    return FieldOfIntactRecord(head, ih::kRecordOffset, rf::kItemHeader, ih::kBodySize,
                               ih::kEndOfData, head.size());
}

std::size_t NamesFileDataEnd(std::string_view head) {
    namespace nf = names_file_format;
    return FieldOfIntactRecord(head, 0, rf::kNamesHeader, nf::kHeaderBodySize, nf::kHeaderEndOffset,
                               head.size());
}

std::size_t ChildListSize(std::uint16_t childCount) {
    return std::size_t{childCount} * kChildEntrySize;
}

}  // namespace vssdb
