// Every version of every file comes back byte for byte: a database written with known
// contents (edits, insertions, deletions, moved text, binary bytes, empty versions, a large
// file, labels, shares, pins, branches, a file kept as latest only) rebuilt through the
// reverse deltas its check-ins carry.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "testing/database_writer.h"
#include "tests/support/temp_dir.h"
#include "vssdb/database.h"
#include "vssdb/error.h"
#include "vssdb/file_content.h"

namespace vssdb {
namespace {

using vsstest::ItemId;

std::string Lines(int from, int to) {
    std::string text;
    for (int line = from; line <= to; ++line) {
        text += "line " + std::to_string(line) + " of the file\r\n";
    }
    return text;
}

// Bytes of every value, NULs included, the same on every run.
std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

vsstest::WriterOptions KeepingContents() {
    vsstest::WriterOptions options;
    options.keepVersionContents = true;
    return options;
}

class ContentRebuild : public testing::Test {
  protected:
    void SetUp() override {
        const ItemId project = writer.AddProject(writer.Root(), "P");
        const ItemId other = writer.AddProject(writer.Root(), "Other");

        const ItemId edits = writer.AddFile(project, "edits.txt", {}, false, Lines(1, 40));
        std::string text = Lines(1, 40);
        text.replace(text.find("line 20 "), 7, "LINE 20");  // an edit in the middle
        writer.CheckIn(edits, {}, {}, text);
        writer.CheckIn(edits, {}, {}, "a new first line\r\n" + text);  // insertion
        writer.CheckIn(edits, {}, {}, Lines(1, 10) + Lines(30, 40));   // deletion
        writer.CheckIn(edits, {}, {}, Lines(30, 40) + Lines(1, 10));   // moved block
        writer.Label(edits, "before emptying");
        writer.CheckIn(edits, {}, {}, "");  // empty
        writer.CheckIn(edits, {}, {}, "back\n");
        files.push_back(edits);

        const ItemId empty = writer.AddFile(project, "empty.txt", {}, false, "");
        writer.CheckIn(empty, {}, {}, "");
        writer.CheckIn(empty, {}, {}, "x");
        writer.CheckIn(empty, {}, {}, "");
        files.push_back(empty);

        const ItemId binary = writer.AddFile(project, "image.bin", {}, true, Noise(5000, 1));
        std::string bytes = Noise(5000, 1);
        bytes.replace(100, 50, Noise(80, 2));
        writer.CheckIn(binary, {}, {}, bytes);
        writer.CheckIn(binary, {}, {}, bytes.substr(0, 1200) + bytes.substr(3000));
        files.push_back(binary);

        // Large enough for its log to be read record by record.
        std::string large = Noise(3'000'000, 3);
        big = writer.AddFile(project, "large.dat", {}, true, large);
        large.replace(1'000'000, 10, "0123456789");
        writer.CheckIn(big, {}, {}, large);
        writer.CheckIn(big, {}, {}, large.substr(500'000) + Noise(700'000, 4));
        files.push_back(big);

        // Shared into Other and pinned there at version 2; later branched in Other, after
        // which both go on.
        shared = writer.AddFile(project, "shared.txt", {}, false, "one\r\n");
        writer.CheckIn(shared, {}, {}, "one\r\ntwo\r\n");
        writer.Share(shared, other);
        writer.Pin(other, shared, 2);
        writer.CheckIn(shared, {}, {}, "one\r\ntwo\r\nthree\r\n");
        files.push_back(shared);
        pinned = writer.AddFile(other, "pinned-branch.txt", {}, false, "start\r\n");
        writer.CheckIn(pinned, {}, {}, "start\r\nmore\r\n");
        writer.Share(pinned, project);
        branch = writer.Branch(project, pinned);
        writer.CheckIn(branch, {}, {}, "start\r\nmore\r\non the branch\r\n");
        writer.CheckIn(pinned, {}, {}, "start\r\nmore\r\non the trunk\r\n");
        files.push_back(pinned);
        files.push_back(branch);

        latestOnly = writer.AddFile(project, "latest.txt", {}, false, "first\r\n");
        writer.CheckIn(latestOnly, {}, {}, "second\r\n");
        writer.KeepLatestOnly(latestOnly);
        writer.CheckIn(latestOnly, {}, {}, "third\r\n");
        writer.Label(latestOnly, "kept");
        files.push_back(latestOnly);
        writer.Write();
    }

    std::string DataPath() { return writer.DataFolderPath().string(); }

    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer{dir.path(), KeepingContents()};
    std::vector<ItemId> files;
    ItemId shared = 0;
    ItemId pinned = 0;
    ItemId branch = 0;
    ItemId latestOnly = 0;
    ItemId big = 0;
};

TEST_F(ContentRebuild, EveryVersionComesBackByteForByte) {
    FileContentReader reader(DataPath());
    for (const ItemId file : files) {
        const std::string physical = writer.PhysicalName(file);
        SCOPED_TRACE(physical);
        int expectedVersion = writer.CurrentVersion(file);
        const ContentSummary summary =
            reader.ForEachVersion(physical, [&](const VersionContent& content) {
                EXPECT_EQ(content.version, expectedVersion);
                EXPECT_EQ(std::optional<std::string>(content.bytes),
                          writer.VersionContent(file, content.version))
                    << "version " << content.version;
                --expectedVersion;
                return true;
            });
        EXPECT_EQ(summary.newest, writer.CurrentVersion(file));
        // One by one, the same.
        for (int version = 1; version <= writer.CurrentVersion(file); ++version) {
            EXPECT_EQ(reader.ReadVersion(physical, version), writer.VersionContent(file, version))
                << "version " << version;
        }
    }
}

TEST_F(ContentRebuild, DeltasCopyWhatVersionsShare) {
    // Three versions of 3 MB that share most of their bytes: the older two take what the
    // versions do not share, 500 KB and a few bytes.
    EXPECT_LT(std::filesystem::file_size(writer.LogPath(big)), 600'000u);
}

TEST_F(ContentRebuild, BranchesTakeTheirOlderVersionsFromTheirSource) {
    FileContentReader reader(DataPath());
    const int first = writer.CurrentVersion(pinned) - 1;  // the branch started above this
    const ContentSummary summary = reader.ForEachVersion(
        writer.PhysicalName(branch), [](const VersionContent&) { return true; });
    EXPECT_EQ(summary.oldest, 1);
    EXPECT_EQ(summary.dataFiles.size(), 2u);
    EXPECT_EQ(reader.ReadVersion(writer.PhysicalName(branch), first), "start\r\nmore\r\n");
    EXPECT_EQ(reader.ReadVersion(writer.PhysicalName(pinned), first + 1),
              "start\r\nmore\r\non the trunk\r\n");
}

TEST_F(ContentRebuild, PinnedEntriesReadTheirPinnedVersion) {
    auto db = Database::Open(writer.IniPath().string());
    const LocatedItem entry = db->Locate("$/Other/shared.txt");
    ASSERT_EQ(entry.pinnedVersion, 2);
    FileContentReader reader(DataPath());
    EXPECT_EQ(reader.ReadVersion(entry.physical, entry.pinnedVersion), "one\r\ntwo\r\n");
}

TEST_F(ContentRebuild, OlderVersionsThatAreNotKeptAreSaidToBeGone) {
    FileContentReader reader(DataPath());
    const std::string physical = writer.PhysicalName(latestOnly);
    std::vector<int> handedOut;
    const ContentSummary summary =
        reader.ForEachVersion(physical, [&](const VersionContent& content) {
            handedOut.push_back(content.version);
            return true;
        });
    EXPECT_EQ(handedOut, (std::vector<int>{4, 3}));  // the label and the last check-in
    EXPECT_EQ(summary.oldest, 3);
    EXPECT_NE(summary.notKept.find("latest version only"), std::string::npos);
    std::string why;
    EXPECT_EQ(reader.ReadVersion(physical, 1, &why), std::nullopt);
    EXPECT_EQ(why, summary.notKept);

    for (const int missing : {0, 5, -1}) {
        try {
            reader.ReadVersion(physical, missing);
            ADD_FAILURE() << "version " << missing << " was read";
        } catch (const Error& error) {
            EXPECT_EQ(error.kind(), ErrorKind::kInvalidArgument) << error.what();
        }
    }
}

}  // namespace
}  // namespace vssdb
