#include "testing/names_file_builder.h"

#include "testing/record_builder.h"
#include "vssdb/record_format.h"

namespace vsstest {

namespace nf = vssdb::names_file_format;

NamesFileBuilder::NamesFileBuilder() {
    RecordBuilder header(file_, vssdb::record_format::kNamesHeader, nf::kHeaderBodySize);
    headerOffset_ = header.offset();
    header.Finish();
}

std::uint32_t NamesFileBuilder::Add(const NameEntries& entries) {
    RecordBuilder record(file_, vssdb::record_format::kName,
                         nf::kTable + entries.size() * nf::kTableEntrySize);
    record.U16(nf::kCount, static_cast<std::uint16_t>(entries.size()));
    std::size_t stringOffset = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = nf::kTable + i * nf::kTableEntrySize;
        record.U16(at, static_cast<std::uint16_t>(entries[i].first));
        record.U16(at + 2, static_cast<std::uint16_t>(stringOffset));
        stringOffset += entries[i].second.size() + 1;
    }
    for (const auto& entry : entries) {
        record.Append(entry.second);
        record.Append(std::string_view("\0", 1));
    }
    record.Finish();
    return static_cast<std::uint32_t>(record.offset());
}

const std::string& NamesFileBuilder::Bytes() {
    const std::size_t body = headerOffset_ + vssdb::record_format::kHeaderSize;
    PutU32(file_, body + nf::kHeaderEndOffset, static_cast<std::uint32_t>(file_.size()));
    RefreshRecordCrc(file_, headerOffset_);
    return file_;
}

}  // namespace vsstest
