// Every version of every file of the real databases rebuilds: each data file matches the
// checksum its item header records, as found or once the CR LF line endings that git
// rewrote are restored, and every reverse delta applies down to version 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "tests/support/fixtures.h"
#include "vssdb/data_folder.h"
#include "vssdb/error.h"
#include "vssdb/file_content.h"
#include "vssdb/item_log.h"

namespace vssdb {
namespace {

namespace fs = std::filesystem;

struct Tally {
    int files = 0;
    int versions = 0;
    int restored = 0;
    int damaged = 0;
};

// Rebuilds every file whose log lies in the fixture's data folder, deleted ones included.
Tally RebuildAll(const fs::path& data) {
    Tally tally;
    FileContentReader reader(data.string());
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || !IsPhysicalName(name) ||
            ItemLog::Read(entry.path().string()).header().type != ItemType::kFile) {
            continue;
        }
        ++tally.files;
        try {
            const ContentSummary summary = reader.ForEachVersion(name, [&](const VersionContent&) {
                ++tally.versions;
                return true;
            });
            EXPECT_EQ(summary.oldest, 1) << name << ": " << summary.notKept;
            tally.restored += static_cast<int>(summary.restoredDataFiles.size());
        } catch (const Error& error) {
            ADD_FAILURE() << error.what();
            ++tally.damaged;
        }
    }
    return tally;
}

class FixtureContent : public testing::TestWithParam<const char*> {};

TEST_P(FixtureContent, EveryVersionOfEveryFileRebuilds) {
    VARNOTTE_REQUIRE_FIXTURE(root, GetParam());
    const Tally tally = RebuildAll(root / "data");
    std::cout << GetParam() << ": " << tally.files << " files, " << tally.versions
              << " versions rebuilt, " << tally.restored << " data files restored by CR LF, "
              << tally.damaged << " damaged\n";
    EXPECT_EQ(tally.damaged, 0);
}

INSTANTIATE_TEST_SUITE_P(RealDatabases, FixtureContent,
                         testing::Values("shares-deletes", "edits-comments", "label-big5-ini",
                                         "client-clutter", "small-edits", "no-ini"));

// Versions whose content the check-in comments of the real database describe.
TEST(FixtureContent, RebuiltVersionsReadAsTheirCommentsSay) {
    VARNOTTE_REQUIRE_FIXTURE(root, "small-edits");
    FileContentReader reader((root / "data").string());
    const struct {
        const char* physical;
        int version;
        std::string bytes;
    } expected[] = {
        {"DAAAAAAA", 3, "SingleMingel\r\nI am adding some text"},
        {"DAAAAAAA", 2, "SingleMingel"},
        {"DAAAAAAA", 1, ""},
        {"CAAAAAAA", 2, "I am doing some changes"},
        {"CAAAAAAA", 1, ""},
    };
    for (const auto& [physical, version, bytes] : expected) {
        EXPECT_EQ(reader.ReadVersion(physical, version), bytes) << physical << " " << version;
    }
}

}  // namespace
}  // namespace vssdb
