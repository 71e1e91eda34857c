// The read-back checker is what the writer's tests rely on: make sure it notices damage.
#include "tests/testing/written_database.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "tests/support/temp_dir.h"
#include "vssdb/item_header_format.h"
#include "vssdb/record_format.h"
#include "vssdb/revision_format.h"

namespace vsstest {
namespace {

namespace fs = std::filesystem;
namespace dh = vssdb::item_header_format;
namespace rf = vssdb::record_format;
namespace rv = vssdb::revision_format;

constexpr std::size_t kHeaderBody = dh::kRecordOffset + rf::kHeaderSize;

struct Paths {
    fs::path data;
    fs::path projectLog;
    fs::path projectList;
    fs::path fileLog;
    fs::path fileData;
};

Paths WriteSample(const fs::path& root) {
    DatabaseWriter writer(root);
    const ItemId project = writer.AddProject(writer.Root(), "p");
    const ItemId file = writer.AddFile(project, "b.txt", {"Admin", 1, "comment"});
    writer.AddFile(project, "a.txt");
    writer.CheckIn(file);
    writer.Write();
    return {writer.DataFolderPath(), writer.LogPath(project), writer.DataPath(project),
            writer.LogPath(file), writer.DataPath(file)};
}

std::size_t NthRecord(const fs::path& file, bool hasHeader, std::string_view signature, int n) {
    for (const RecordInfo& record : ListRecords(file, hasHeader)) {
        if (record.signature == signature && n-- == 0) {
            return record.offset;
        }
    }
    throw std::runtime_error("no such record");
}

TEST(WrittenDatabaseTest, CheckerNoticesDamage) {
    struct Case {
        std::string damage;
        std::function<void(const Paths&)> apply;
        std::string expected;  // part of the report
    };
    const std::vector<Case> cases = {
        {"a byte of an EL",
         [](const Paths& p) { PatchU16(p.fileLog, NthRecord(p.fileLog, true, "EL", 0) + 20, 1); },
         "wrong CRC"},
        {"EL count",
         [](const Paths& p) {
             PatchU16(p.fileLog, kHeaderBody + dh::kRevisionCount, 3);
             FixRecordCrc(p.fileLog, dh::kRecordOffset);
         },
         "EL count"},
        {"end of data",
         [](const Paths& p) {
             PatchU32(p.projectLog, kHeaderBody + dh::kEndOfData, 4);
             FixRecordCrc(p.projectLog, dh::kRecordOffset);
         },
         "end of data"},
        {"version numbers",
         [](const Paths& p) {
             const std::size_t el = NthRecord(p.fileLog, true, "EL", 0);
             PatchU16(p.fileLog, el + rf::kHeaderSize + rv::kVersion, 9);
             FixRecordCrc(p.fileLog, el);
         },
         "not contiguous"},
        {"comment length",
         [](const Paths& p) {
             const std::size_t el = NthRecord(p.fileLog, true, "EL", 1);
             PatchU16(p.fileLog, el + rf::kHeaderSize + rv::kCommentLength, 2);
             FixRecordCrc(p.fileLog, el);
         },
         "comment offset or length"},
        {"child order",
         [](const Paths& p) {
             PatchBytes(p.projectList,
                        NthRecord(p.projectList, false, "JP", 0) + rf::kHeaderSize + 6, "z");
             FixRecordCrc(p.projectList, 0);
         },
         "not sorted"},
        {"parent count",
         [](const Paths& p) {
             PatchU16(p.fileLog, kHeaderBody + dh::kParentCount, 2);
             FixRecordCrc(p.fileLog, dh::kRecordOffset);
         },
         "parent count"},
        {"data file content", [](const Paths& p) { PatchBytes(p.fileData, 0, "X"); }, "data CRC"},
        {"data file gone", [](const Paths& p) { fs::remove(p.fileData); },
         "current data file missing"},
        {"cut log", [](const Paths& p) { TruncateFile(p.fileLog, fs::file_size(p.fileLog) - 1); },
         "records end at"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        varnotte::test::TempDir temp;
        const Paths paths = WriteSample(temp / "db");
        ASSERT_TRUE(readback::CheckDatabase(paths.data).empty());
        c.apply(paths);
        std::string report;
        for (const std::string& line : readback::CheckDatabase(paths.data)) {
            report += line + "\n";
        }
        EXPECT_NE(report.find(c.expected), std::string::npos) << report;
    }
}

}  // namespace
}  // namespace vsstest
