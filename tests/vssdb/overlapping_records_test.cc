// Records arranged so that following their offsets would read the same bytes over and over:
// a version chain whose records overlap, versions sharing one comment, name records inside
// each other, one string claimed by thousands of names. Each is damage, reported as such,
// before the reader has done more work than the file's size.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "testing/record_builder.h"
#include "tests/support/temp_dir.h"
#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/item_log.h"
#include "vssdb/names_file.h"
#include "vssdb/names_file_format.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_format.h"
#include "vssdb/revision_format.h"

namespace {

namespace fs = std::filesystem;
namespace dh = vssdb::item_header_format;
namespace nf = vssdb::names_file_format;
namespace rf = vssdb::record_format;
namespace rv = vssdb::revision_format;

// Runs `read` and returns the message of the corrupt-file error it must throw.
std::string CorruptMessage(const std::function<void()>& read) {
    try {
        read();
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), vssdb::ErrorKind::kCorrupt) << error.what();
        return error.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

// A file log whose versions start `stride` bytes apart, each spanning the rest of the
// file, every checksum valid: the chain's newest version points at the one before it and
// so on. Read naively, every version's checksum runs over the rest of the file.
std::string LogOfOverlappingVersions(int versions, std::size_t stride) {
    std::string file;
    vsstest::AppendItemFileHeader(file, dh::kFileType);
    vsstest::RecordBuilder header(file, rf::kItemHeader, dh::kBodySize);
    header.U16(dh::kItemType, dh::kFileType);
    header.Text(dh::kDataExtension, ".A", 2);
    header.Finish();
    const std::size_t first = file.size();
    file.resize(first + versions * stride + rv::kBodySize);
    std::vector<std::size_t> offsets;
    for (int i = 0; i < versions; ++i) {
        const std::size_t at = first + i * stride;
        vsstest::PutU32(file, at + rf::kLengthOffset,
                        static_cast<std::uint32_t>(file.size() - at - rf::kHeaderSize));
        vsstest::PutText(file, at + rf::kSignatureOffset, rf::kRevision, 2);
        const std::size_t body = at + rf::kHeaderSize;
        vsstest::PutU32(file, body + rv::kPrevious,
                        offsets.empty() ? 0 : static_cast<std::uint32_t>(offsets.back()));
        vsstest::PutU16(file, body + rv::kAction, static_cast<std::uint16_t>(rv::Action::kLabel));
        vsstest::PutU16(file, body + rv::kVersion, static_cast<std::uint16_t>(i + 1));
        offsets.push_back(at);
    }
    // Each body holds the headers of the versions after it, so checksums go last to first.
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
        vsstest::RefreshRecordCrc(file, *it);
    }
    vsstest::PutU32(file, dh::kRecordOffset + rf::kHeaderSize + dh::kFirstRevision,
                    static_cast<std::uint32_t>(offsets.front()));
    vsstest::PutU32(file, dh::kRecordOffset + rf::kHeaderSize + dh::kLastRevision,
                    static_cast<std::uint32_t>(offsets.back()));
    vsstest::PutU16(file, dh::kRecordOffset + rf::kHeaderSize + dh::kRevisionCount,
                    static_cast<std::uint16_t>(versions));
    vsstest::PutU16(file, dh::kRecordOffset + rf::kHeaderSize + dh::kFirstVersion, 1);
    vsstest::PutU32(file, dh::kRecordOffset + rf::kHeaderSize + dh::kEndOfData,
                    static_cast<std::uint32_t>(file.size()));
    vsstest::RefreshRecordCrc(file, dh::kRecordOffset);
    return file;
}

TEST(OverlappingRecords, VersionChainWhoseRecordsOverlap) {
    const vssdb::ItemLog log(
        vssdb::PhysicalFile::FromBytes("data/b/baaaaaaa", LogOfOverlappingVersions(2000, 96)));
    // The newest version alone is one record and reads fine.
    EXPECT_EQ(log.ReadLatestRevision().version, 2000);
    const std::string message = CorruptMessage([&] { log.ReadRevisions(); });
    EXPECT_NE(message.find("data/b/baaaaaaa"), std::string::npos) << message;
    EXPECT_NE(message.find("overlaps"), std::string::npos) << message;
}

TEST(OverlappingRecords, VersionsThatShareOneComment) {
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    const vsstest::ItemId file = writer.AddFile(writer.Root(), "a.txt", {"Admin", 1, "first"});
    writer.CheckIn(file, {"Admin", 2, "second"});
    writer.CheckIn(file, {"Admin", 3, "third"});
    writer.Write();

    const fs::path path = writer.LogPath(file);
    std::vector<vsstest::RecordInfo> versions;
    std::size_t firstComment = 0;
    for (const vsstest::RecordInfo& record : vsstest::ListRecords(path, true)) {
        if (record.signature == rf::kRevision) {
            versions.push_back(record);
        } else if (record.signature == rf::kComment && firstComment == 0) {
            firstComment = record.offset;
        }
    }
    ASSERT_EQ(versions.size(), 3u);
    ASSERT_NE(firstComment, 0u);
    for (const vsstest::RecordInfo& version : versions) {
        vsstest::PatchU32(path, version.offset + rf::kHeaderSize + rv::kCommentOffset,
                          static_cast<std::uint32_t>(firstComment));
        vsstest::FixRecordCrc(path, version.offset);
    }
    const vssdb::ItemLog log = vssdb::ItemLog::Read(path.string());
    EXPECT_EQ(log.ReadLatestRevision().comment, "first");
    const std::string message = CorruptMessage([&] { log.ReadRevisions(); });
    EXPECT_NE(message.find(path.filename().string()), std::string::npos) << message;
    EXPECT_NE(message.find("overlaps"), std::string::npos) << message;
}

// A label whose comment and label comment point at one record reads it for both; only
// records of different versions may not share bytes.
TEST(OverlappingRecords, LabelWhoseTwoCommentsAreOneRecord) {
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    const vsstest::ItemId file = writer.AddFile(writer.Root(), "a.txt", {"Admin", 1, "first"});
    writer.Label(file, "v1", {"Admin", 2, "why"}, "why");
    writer.Write();

    const fs::path path = writer.LogPath(file);
    std::size_t label = 0;
    for (const vsstest::RecordInfo& record : vsstest::ListRecords(path, true)) {
        if (record.signature == rf::kRevision) {
            label = record.offset;  // the newest
        }
    }
    const std::size_t body = label + rf::kHeaderSize;
    const std::string bytes = vsstest::ReadWholeFile(path);
    const std::uint32_t comment = vsstest::GetU32(bytes, body + rv::kCommentOffset);
    vsstest::PatchU32(path, body + rv::kLabelCommentOffset, comment);
    vsstest::FixRecordCrc(path, label);

    const std::vector<vssdb::Revision> versions =
        vssdb::ItemLog::Read(path.string()).ReadRevisions();
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions.front().comment, "why");
    EXPECT_EQ(versions.front().labelComment, "why");
}

// names.dat: the HN record, then `records` built by the callers.
class HostileNamesFile : public testing::Test {
  protected:
    HostileNamesFile() {
        vsstest::RecordBuilder header(bytes, rf::kNamesHeader, nf::kHeaderBodySize);
        header.Finish();
    }

    // An SN record whose `count` entries all name the one string that follows the table.
    std::uint32_t AddRecord(std::uint16_t count, const std::string& text) {
        vsstest::RecordBuilder record(bytes, rf::kName);
        record.AppendU16(count);
        record.AppendU16(0);
        for (std::uint16_t i = 0; i < count; ++i) {
            record.AppendU16(static_cast<std::uint16_t>(nf::NameKind::kLong));
            record.AppendU16(0);
        }
        record.Append(text);
        record.Append(std::string_view("\0", 1));
        record.Finish();
        return static_cast<std::uint32_t>(record.offset());
    }

    // The file with its header's end offset up to date.
    vssdb::NamesFile Names() const {
        std::string file = bytes;
        vsstest::PutU32(file, rf::kHeaderSize + nf::kHeaderEndOffset,
                        static_cast<std::uint32_t>(file.size()));
        vsstest::RefreshRecordCrc(file, 0);
        return vssdb::NamesFile(vssdb::PhysicalFile::FromBytes("data/names.dat", file));
    }

    std::string bytes;
};

TEST_F(HostileNamesFile, EveryEntryNamingOneLongString) {
    const std::uint32_t offset = AddRecord(16000, std::string(60000, 'x'));
    const vssdb::NamesFile names = Names();
    const std::string message = CorruptMessage([&] { names.LongName(offset, false); });
    EXPECT_NE(message.find("data/names.dat"), std::string::npos) << message;
    EXPECT_NE(message.find("longer than the record allows"), std::string::npos) << message;
}

TEST_F(HostileNamesFile, EntriesMayShareAString) {
    // Real databases have DOS and Mac names that are one string.
    const std::uint32_t offset = AddRecord(3, "Long Name.txt");
    EXPECT_EQ(Names().LongName(offset, false), "Long Name.txt");
}

TEST_F(HostileNamesFile, RecordsInsideEachOther) {
    // The outer record's string holds a whole second record, checksum and all.
    std::string inner;
    {
        vsstest::RecordBuilder record(inner, rf::kName);
        record.AppendU16(1);
        record.AppendU16(0);
        record.AppendU16(static_cast<std::uint16_t>(nf::NameKind::kLong));
        record.AppendU16(0);
        record.Append(std::string_view("inner.txt\0", 10));
        record.Finish();
    }
    const std::uint32_t outer = AddRecord(1, "outer.txt");
    bytes.pop_back();  // the outer string now runs into the inner record, still NUL-ended
    const std::uint32_t inside = static_cast<std::uint32_t>(bytes.size());
    bytes += inner;
    vsstest::PutU32(bytes, outer + rf::kLengthOffset,
                    static_cast<std::uint32_t>(bytes.size() - outer - rf::kHeaderSize));
    vsstest::RefreshRecordCrc(bytes, outer);

    // Records are found in file order, so the outer one is the record and the inner one
    // lies inside it, whichever is asked for first.
    for (const bool outerFirst : {true, false}) {
        SCOPED_TRACE(outerFirst ? "outer record first" : "inner record first");
        const vssdb::NamesFile names = Names();
        if (outerFirst) {
            EXPECT_TRUE(names.LongName(outer, false).has_value());
        }
        const std::string message = CorruptMessage([&] { names.LongName(inside, false); });
        EXPECT_NE(message.find("overlaps"), std::string::npos) << message;
        // Asked again, the same answer, without reading the record again.
        EXPECT_EQ(CorruptMessage([&] { names.LongName(inside, true); }), message);
        EXPECT_TRUE(names.LongName(outer, false).has_value());
    }
}

TEST_F(HostileNamesFile, RecordsInsideADamagedOne) {
    // Thousands of records, each inside the one before and each failing its checksum: every
    // lookup but the first is refused before its checksum is computed.
    const std::uint32_t first = static_cast<std::uint32_t>(bytes.size());
    const int records = 4000;
    const std::size_t stride = 16;
    bytes.resize(first + records * stride + 64, 'x');
    for (int i = 0; i < records; ++i) {
        const std::size_t at = first + i * stride;
        vsstest::PutU32(bytes, at + rf::kLengthOffset,
                        static_cast<std::uint32_t>(bytes.size() - at - rf::kHeaderSize));
        vsstest::PutText(bytes, at + rf::kSignatureOffset, rf::kName, 2);
        vsstest::PutU16(bytes, at + rf::kCrcOffset, 1);
    }
    const vssdb::NamesFile names = Names();
    EXPECT_NE(CorruptMessage([&] { names.LongName(first, false); }).find("checksum"),
              std::string::npos);
    for (int i = 1; i < records; ++i) {
        const std::string message =
            CorruptMessage([&] { names.LongName(first + i * stride, false); });
        ASSERT_NE(message.find("overlaps"), std::string::npos) << message;
    }
}

}  // namespace
