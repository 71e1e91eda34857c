// Checksums and hashes against what real databases store.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "tests/support/fixtures.h"
#include "vssdb/crc.h"
#include "vssdb/data_folder.h"
#include "vssdb/error.h"
#include "vssdb/password_hash.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace {

namespace fs = std::filesystem;

TEST(RecordCrc, MatchesKnownValues) {
    EXPECT_EQ(vssdb::Crc32ZeroInit("", 0), 0u);
    // The register started at 0 with no final inversion: the complement of the usual
    // CRC-32 of the same bytes run from all ones.
    EXPECT_EQ(vssdb::Crc32ZeroInit("123456789", 9), 0x2DFD2D88u);
    const std::uint32_t c = vssdb::Crc32ZeroInit("123456789", 9);
    EXPECT_EQ(vssdb::RecordCrc(std::string_view("123456789")),
              static_cast<std::uint16_t>(c ^ (c >> 16)));
}

struct StoredHash {
    const char* password;
    std::uint16_t hash;
};
void PrintTo(const StoredHash& c, std::ostream* os) {
    *os << '"' << c.password << '"';
}

class PasswordHashTest : public testing::TestWithParam<StoredHash> {};

// Values stored by real databases for passwords that are known.
INSTANTIATE_TEST_SUITE_P(RealUsers, PasswordHashTest,
                         testing::Values(StoredHash{"", 0x6E90}, StoredHash{"PASS", 0x6D3E},
                                         StoredHash{"RAUL", 0x6D8A}, StoredHash{"DHAVAL", 0x6D27},
                                         StoredHash{"HHC", 0x6EDB}),
                         [](const testing::TestParamInfo<StoredHash>& info) {
                             return std::string("password_") +
                                    (*info.param.password ? info.param.password : "empty");
                         });

TEST_P(PasswordHashTest, ReproducesStoredValue) {
    EXPECT_EQ(vssdb::PasswordHash(GetParam().password), GetParam().hash);
}

TEST(PasswordHash, OnlyFifteenBytesCount) {
    EXPECT_EQ(vssdb::PasswordHash("ABCDEFGHIJKLMNO"), vssdb::PasswordHash("ABCDEFGHIJKLMNOPQRS"));
    EXPECT_NE(vssdb::PasswordHash("ABCDEFGHIJKLMN"), vssdb::PasswordHash("ABCDEFGHIJKLMNO"));
}

TEST(PasswordHash, HighBytesCountAsSignedChars) {
    // 0xC9 (É in 1252) at position 0: ((0xC9 ^ 0x96) + 0xFF00) * 1 instead of (0xC9 ^ 0x96) * 1.
    const std::uint16_t withHigh = vssdb::PasswordHash("\xC9");
    const std::uint16_t unsignedSum = [] {
        std::uint32_t sum = (0xC9 ^ 0x96) * 1;
        const char* filler = "BrianDavidHarry";
        for (int i = 1; i < 15; ++i) {
            sum += static_cast<std::uint32_t>((filler[i - 1] ^ 0x96) * (i + 1));
        }
        return static_cast<std::uint16_t>(sum);
    }();
    EXPECT_EQ(withHigh, static_cast<std::uint16_t>(unsignedSum + 0xFF00));
}

// Every record of every file of every real database passes its checksum: the framing and
// CRC rules hold for everything the reader will meet.
TEST(RealDatabases, EveryRecordChecksumVerifies) {
    const fs::path root = varnotte::test::FixturesRoot();
    if (!fs::is_directory(root)) {
        if (varnotte::test::RunningInCi()) {
            FAIL() << "fixtures missing under " << root;
        }
        GTEST_SKIP() << "fixtures missing under " << root;
    }
    std::size_t files = 0;
    std::size_t records = 0;
    std::size_t checked = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const std::string parent = entry.path().parent_path().filename().string();
        const bool inLetterFolder = parent.size() == 1;
        const bool log = inLetterFolder && vssdb::IsPhysicalName(name);
        const bool projectOrData = inLetterFolder && name.size() == 10 &&
                                   vssdb::IsPhysicalName(name.substr(0, 8)) && name[8] == '.';
        const bool users = name == "um.dat" && parent == "data";
        const bool names = name == "names.dat";
        if (!log && !users && !names && !projectOrData) {
            continue;
        }
        const vssdb::PhysicalFile file = vssdb::PhysicalFile::Read(entry.path().string());
        if (projectOrData && (file.bytes().size() < 8 ||
                              file.bytes().substr(4, 2) != vssdb::record_format::kProjectEntry)) {
            continue;  // a file's content, not a project's child list
        }
        const std::size_t start = (log || users) ? vssdb::file_header_format::kSize : 0;
        ++files;
        try {
            vssdb::ForEachRecord(file.view(), start, [&](const vssdb::Record& record) {
                ++records;
                // Reading checks stored checksums other than 0; comments are the only
                // records that store 0 for a body whose checksum is not 0.
                if (record.signature != vssdb::record_format::kComment) {
                    EXPECT_EQ(record.storedCrc, vssdb::RecordCrc(record.body.bytes()))
                        << file.path() << " at " << record.offset;
                    ++checked;
                }
            });
        } catch (const vssdb::Error& error) {
            ADD_FAILURE() << error.what();
        }
    }
    EXPECT_GT(files, 700u);
    EXPECT_GT(records, 5000u);
    EXPECT_GT(checked, records / 2);
}

}  // namespace
