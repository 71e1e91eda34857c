#include "testing/damage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "testing/database_writer.h"
#include "tests/support/temp_dir.h"
#include "vssdb/crc.h"
#include "vssdb/item_header_format.h"
#include "vssdb/record_format.h"

namespace vsstest {
namespace {

namespace fs = std::filesystem;
namespace dh = vssdb::item_header_format;
namespace rf = vssdb::record_format;

class DamageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DatabaseWriter writer(temp_ / "db");
        file_ = writer.AddFile(writer.Root(), "f.txt", {"Admin", 1, "a comment"});
        writer.CheckIn(file_);
        writer.Write();
        log_ = writer.LogPath(file_);
    }

    varnotte::test::TempDir temp_;
    ItemId file_ = 0;
    fs::path log_;
};

TEST_F(DamageTest, ListRecordsShowsTheLayoutSourceSafeWrites) {
    std::string signatures;
    for (const RecordInfo& record : ListRecords(log_, true)) {
        signatures += record.signature + " ";
    }
    EXPECT_EQ(signatures, "DH CF PF EL MC FD EL MC ");
    EXPECT_EQ(ListRecords(log_, true).at(1).offset, vssdb::checkout_format::kRecordOffset);
}

TEST_F(DamageTest, ListRecordsStopsBeforeACutRecord) {
    const auto whole = ListRecords(log_, true);
    const RecordInfo& last = whole.back();
    for (std::size_t cut : {last.offset + last.length + 7, last.offset + 3}) {
        TruncateFile(log_, cut);
        EXPECT_EQ(ListRecords(log_, true).size(), whole.size() - 1) << cut;
    }
    TruncateFile(log_, 10);
    EXPECT_TRUE(ListRecords(log_, true).empty()) << "even the file header is cut";
    EXPECT_THROW(TruncateFile(log_, 11), std::out_of_range) << "never grows a file";
}

TEST_F(DamageTest, PatchThenFixCrcKeepsTheRecordValid) {
    const std::size_t body = dh::kRecordOffset + rf::kHeaderSize;
    PatchU16(log_, body + dh::kRevisionCount, 7);
    const auto patched = ListRecords(log_, true).at(0);

    const std::string bytes = [&] {
        std::ifstream in(log_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    const std::uint16_t bodyCrc = vssdb::RecordCrc(bytes.data() + body, patched.length);
    EXPECT_NE(patched.crc, bodyCrc) << "the patch alone breaks the CRC";
    FixRecordCrc(log_, dh::kRecordOffset);
    EXPECT_EQ(ListRecords(log_, true).at(0).crc, bodyCrc);
    EXPECT_EQ(static_cast<unsigned char>(bytes[body + dh::kRevisionCount]), 7);
}

TEST_F(DamageTest, PatchesOutsideTheFileAreRefused) {
    const auto size = fs::file_size(log_);
    EXPECT_THROW(PatchU32(log_, size - 3, 0), std::out_of_range);
    EXPECT_THROW(PatchU16(log_, size, 0), std::out_of_range);
    PatchU32(log_, dh::kRecordOffset + rf::kLengthOffset, 0xFFFFFFF0u);
    EXPECT_THROW(FixRecordCrc(log_, dh::kRecordOffset), std::out_of_range)
        << "a length past the end";
    EXPECT_EQ(fs::file_size(log_), size);
}

}  // namespace
}  // namespace vsstest
