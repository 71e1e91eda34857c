// Damaged databases: every fault is an error that names the file and what is wrong, never
// a crash, a hang or a quietly wrong answer.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "testing/names_file_builder.h"
#include "testing/record_builder.h"
#include "tests/support/temp_dir.h"
#include "vssdb/database.h"
#include "vssdb/delta_format.h"
#include "vssdb/error.h"
#include "vssdb/file_content.h"
#include "vssdb/item_header_format.h"
#include "vssdb/names_file.h"
#include "vssdb/record_format.h"
#include "vssdb/revision_format.h"

namespace {

namespace fs = std::filesystem;
using vsstest::ItemId;

// Run with small versions, whose logs are read whole, and with large ones, whose logs are
// read record by record, the content deltas between the records passed over.
class DamagedDatabase : public testing::TestWithParam<std::size_t> {
  protected:
    void SetUp() override {
        project = writer.AddProject(writer.Root(), "Project");
        file = writer.AddFile(project, "file.txt", vsstest::Stamp{"Admin", 100, "created"});
        for (const auto& [time, comment] : {std::pair{200u, "second"}, {300u, "third"}}) {
            std::optional<std::string> content;
            if (GetParam() != 0) {
                content = std::string(GetParam(), static_cast<char>('a' + time / 100));
            }
            writer.CheckIn(file, vsstest::Stamp{"Admin", time, comment}, {}, content);
        }
        other = writer.AddFile(project, "other.txt");
        writer.Write();
    }

    std::unique_ptr<vssdb::Database> Open() {
        return vssdb::Database::Open(writer.IniPath().string());
    }

    // The error of reading the file's whole history, or nothing.
    std::optional<vssdb::Error> HistoryError() {
        auto db = Open();
        try {
            db->History(db->Locate("$/Project/file.txt").physical);
            return std::nullopt;
        } catch (const vssdb::Error& error) {
            return error;
        }
    }

    std::vector<vsstest::RecordInfo> Records(const fs::path& path, const char* signature) {
        std::vector<vsstest::RecordInfo> found;
        for (const auto& record : vsstest::ListRecords(path, true)) {
            if (record.signature == signature) {
                found.push_back(record);
            }
        }
        return found;
    }

    void ExpectCorrupt(const std::optional<vssdb::Error>& error, const std::string& what) {
        ASSERT_TRUE(error.has_value()) << "no error for " << what;
        EXPECT_EQ(error->kind(), vssdb::ErrorKind::kCorrupt) << error->what();
        // The file's log, or one of its data files (the log's name and .a or .b).
        EXPECT_EQ(fs::path(error->file()).stem(), writer.LogPath(file).filename()) << error->what();
        EXPECT_EQ(error->what(), error->file() + ": " + error->reason());
        EXPECT_NE(error->reason().find(what), std::string::npos) << error->what();
    }

    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer{dir.path()};
    ItemId project = 0;
    ItemId file = 0;
    ItemId other = 0;
};

TEST_P(DamagedDatabase, IntactDatabaseReadsCompletely) {
    EXPECT_FALSE(HistoryError().has_value());
}

TEST_P(DamagedDatabase, TruncatedLogFile) {
    const fs::path log = writer.LogPath(file);
    vsstest::TruncateFile(log, fs::file_size(log) - 100);
    ExpectCorrupt(HistoryError(), "end of the file");
    vsstest::TruncateFile(log, 60);
    ExpectCorrupt(HistoryError(), "runs past the end");
    vsstest::TruncateFile(log, 10);
    ExpectCorrupt(HistoryError(), "too short");
}

TEST_P(DamagedDatabase, ChecksumMismatch) {
    const fs::path log = writer.LogPath(file);
    const auto revisions = Records(log, "EL");
    ASSERT_EQ(revisions.size(), 3u);
    // The user name of the middle version, changed without fixing its checksum.
    vsstest::PatchBytes(log, revisions[1].offset + 8 + vssdb::revision_format::kUser, "Mallory");
    ExpectCorrupt(HistoryError(), "checksum");
}

TEST_P(DamagedDatabase, VersionChainThatLoops) {
    const fs::path log = writer.LogPath(file);
    const auto revisions = Records(log, "EL");
    // The oldest version points back at the newest.
    const std::size_t oldest = revisions.front().offset;
    vsstest::PatchU32(log, oldest + 8 + vssdb::revision_format::kPrevious,
                      static_cast<std::uint32_t>(revisions.back().offset));
    vsstest::FixRecordCrc(log, oldest);
    ExpectCorrupt(HistoryError(), "loops");
}

TEST_P(DamagedDatabase, OffsetsPastTheEnd) {
    const fs::path log = writer.LogPath(file);
    const std::size_t header = vssdb::item_header_format::kRecordOffset;
    vsstest::PatchU32(log, header + 8 + vssdb::item_header_format::kLastRevision, 0x7FFFFFF0u);
    vsstest::FixRecordCrc(log, header);
    ExpectCorrupt(HistoryError(), "outside the file");
}

TEST_P(DamagedDatabase, CommentOffsetPastTheEnd) {
    const fs::path log = writer.LogPath(file);
    const auto revisions = Records(log, "EL");
    const std::size_t newest = revisions.back().offset;
    vsstest::PatchU32(log, newest + 8 + vssdb::revision_format::kCommentOffset, 0xFFFFFF00u);
    vsstest::FixRecordCrc(log, newest);
    ExpectCorrupt(HistoryError(), "comment");
}

TEST_P(DamagedDatabase, RecordLengthBeyondTheFile) {
    const fs::path log = writer.LogPath(file);
    const auto revisions = Records(log, "EL");
    vsstest::PatchU32(log, revisions.back().offset + vssdb::record_format::kLengthOffset,
                      0xFFFFFFFFu);
    ExpectCorrupt(HistoryError(), "runs past the end");
}

TEST_P(DamagedDatabase, NotAnItemFileAtAll) {
    const fs::path log = writer.LogPath(file);
    vsstest::PatchBytes(log, 0, "GarbageGarbage");
    ExpectCorrupt(HistoryError(), "not a SourceSafe item file");
}

TEST_P(DamagedDatabase, MissingLogFileNamesWhereItShouldBe) {
    fs::remove(writer.LogPath(file));
    ExpectCorrupt(HistoryError(), "missing");
}

// The records beside the versions: who has the file checked out, which projects list it.
struct FileRecordDamage {
    const char* name;
    std::function<void(const fs::path& log)> damage;
    const char* message;
};

TEST_P(DamagedDatabase, CheckoutAndParentRecords) {
    namespace dh = vssdb::item_header_format;
    namespace cf = vssdb::checkout_format;
    const fs::path log = writer.LogPath(file);
    const std::string intact = vsstest::ReadWholeFile(log);
    const std::size_t checkout = cf::kRecordOffset;
    const std::size_t parent = Records(log, "PF").front().offset;
    const auto setHeader = [](const fs::path& log, std::size_t field, std::uint32_t value) {
        vsstest::PatchU32(log, dh::kRecordOffset + 8 + field, value);
        vsstest::FixRecordCrc(log, dh::kRecordOffset);
    };
    const std::vector<FileRecordDamage> cases = {
        {"active checkout past the end",
         [&](const fs::path& l) { setHeader(l, dh::kActiveCheckout, 0x7FFFFFF0u); },
         "outside the file"},
        {"active checkout at a version",
         [&](const fs::path& l) {
             setHeader(l, dh::kActiveCheckout,
                       static_cast<std::uint32_t>(Records(l, "EL").front().offset));
         },
         "expected a CF record"},
        {"checkouts that loop",
         [&](const fs::path& l) {
             vsstest::PatchU32(l, checkout + 8 + cf::kPreviousCheckout,
                               static_cast<std::uint32_t>(checkout));
             vsstest::FixRecordCrc(l, checkout);
             setHeader(l, dh::kActiveCheckout, static_cast<std::uint32_t>(checkout));
         },
         "overlaps"},
        {"checkout record cut short",
         [&](const fs::path& l) {
             vsstest::PatchU32(l, checkout + vssdb::record_format::kLengthOffset, 100);
             vsstest::FixRecordCrc(l, checkout);
             setHeader(l, dh::kActiveCheckout, static_cast<std::uint32_t>(checkout));
         },
         "data ends early"},
        {"parent record at the checkout",
         [&](const fs::path& l) {
             setHeader(l, dh::kLastParentRecord, static_cast<std::uint32_t>(checkout));
         },
         "expected a PF record"},
        {"parent record names no item",
         [&](const fs::path& l) {
             vsstest::PatchBytes(l, parent + 8 + vssdb::file_link_format::kPhysical, "../../x");
             vsstest::FixRecordCrc(l, parent);
         },
         "names no physical item"},
    };
    for (const FileRecordDamage& damage : cases) {
        vsstest::WriteWholeFile(log, intact);
        damage.damage(log);
        std::optional<vssdb::Error> error;
        try {
            auto db = Open();
            db->FileFactsOf(writer.PhysicalName(file));
        } catch (const vssdb::Error& e) {
            error = e;
        }
        SCOPED_TRACE(damage.name);
        ExpectCorrupt(error, damage.message);
    }
    vsstest::WriteWholeFile(log, intact);
    EXPECT_NO_THROW(Open()->FileFactsOf(writer.PhysicalName(file)));
}

// The content: the data file that holds the newest version, and the reverse deltas that
// give the older ones. Restored line endings are no damage: the content comes back whole,
// and the data file is named as restored.
struct ContentDamage {
    const char* name;
    std::function<void(const fs::path& log, const fs::path& data)> damage;
    const char* message;  // empty: every version rebuilds, from restored line endings
};

TEST_P(DamagedDatabase, DamagedContent) {
    namespace rv = vssdb::revision_format;
    namespace df = vssdb::delta_format;
    const fs::path log = writer.LogPath(file);
    const fs::path data = writer.DataPath(file);
    const std::string intactLog = vsstest::ReadWholeFile(log);
    const std::string intactData = vsstest::ReadWholeFile(data);
    // The newest check-in's delta, and its first operation.
    const vsstest::RecordInfo delta = Records(log, "FD").back();
    const std::size_t operation = delta.offset + 8;
    const auto setOperation = [&](const fs::path& l, std::uint16_t command, std::uint32_t length) {
        vsstest::PatchU16(l, operation + df::kCommand, command);
        vsstest::PatchU32(l, operation + df::kLength, length);
        vsstest::FixRecordCrc(l, delta.offset);
    };
    const auto withoutCr = [&] {
        std::string text = intactData;
        std::erase(text, '\r');
        return text;
    };
    std::vector<ContentDamage> cases = {
        {"data file missing", [](const fs::path&, const fs::path& d) { fs::remove(d); },
         "data file missing"},
        {"data file changed",
         [](const fs::path&, const fs::path& d) { vsstest::PatchBytes(d, 0, "#"); },
         "does not match the checksum"},
        {"data file cut short",
         [](const fs::path&, const fs::path& d) { vsstest::TruncateFile(d, fs::file_size(d) - 1); },
         "does not match the checksum"},
        {"copy past the newer version",
         [&](const fs::path& l, const fs::path&) { setOperation(l, 1, 0x7FFFFFFFu); },
         "copies 2147483647 bytes from offset"},
        {"literal cut short",
         [&](const fs::path& l, const fs::path&) { setOperation(l, 0, delta.length); },
         "but the record holds only"},
        {"unknown operation", [&](const fs::path& l, const fs::path&) { setOperation(l, 9, 0); },
         "unknown operation 9"},
        {"delta without its stop",
         [&](const fs::path& l, const fs::path&) {
             vsstest::PatchU32(l, delta.offset + vssdb::record_format::kLengthOffset, 0);
             vsstest::PatchU16(l, delta.offset + vssdb::record_format::kCrcOffset, 0);
         },
         "ends without its stop operation"},
        {"check-in pointing at a version record",
         [&](const fs::path& l, const fs::path&) {
             const std::size_t newest = Records(l, "EL").back().offset;
             vsstest::PatchU32(l, newest + 8 + rv::kCheckInDelta,
                               static_cast<std::uint32_t>(newest));
             vsstest::FixRecordCrc(l, newest);
         },
         "expected a FD record"},
        {"version chain that loops",
         [&](const fs::path& l, const fs::path&) {
             const auto revisions = Records(l, "EL");
             vsstest::PatchU32(l, revisions.front().offset + 8 + rv::kPrevious,
                               static_cast<std::uint32_t>(revisions.back().offset));
             vsstest::FixRecordCrc(l, revisions.front().offset);
         },
         "loops"},
    };
    // Only text with line breaks shows a text-mode copy.
    if (intactData.find("\r\n") != std::string::npos) {
        cases.push_back(
            {"line endings rewritten",
             [&](const fs::path&, const fs::path& d) { vsstest::WriteWholeFile(d, withoutCr()); },
             ""});
        cases.push_back({"line endings rewritten and a byte changed",
                         [&](const fs::path&, const fs::path& d) {
                             vsstest::WriteWholeFile(d, "#" + withoutCr().substr(1));
                         },
                         "and with CR LF restored"});
    }
    const std::string physical = writer.PhysicalName(file);
    for (const ContentDamage& damage : cases) {
        SCOPED_TRACE(damage.name);
        vsstest::WriteWholeFile(log, intactLog);
        vsstest::WriteWholeFile(data, intactData);
        damage.damage(log, data);
        std::vector<std::string> rebuilt;
        std::optional<vssdb::Error> error;
        vssdb::ContentSummary summary;
        try {
            vssdb::FileContentReader reader(writer.DataFolderPath().string());
            summary = reader.ForEachVersion(physical, [&](const vssdb::VersionContent& content) {
                rebuilt.emplace_back(content.bytes);
                return true;
            });
        } catch (const vssdb::Error& e) {
            error = e;
        }
        if (*damage.message != '\0') {
            ExpectCorrupt(error, damage.message);
            continue;
        }
        ASSERT_FALSE(error.has_value()) << error->what();
        EXPECT_EQ(summary.restoredDataFiles, std::vector<std::string>{summary.dataFiles});
        ASSERT_EQ(rebuilt.size(), 3u);
        EXPECT_EQ(rebuilt.front(), intactData);
        EXPECT_EQ(rebuilt.back(), "file.txt version 1\r\n");
    }
}

TEST_P(DamagedDatabase, DamagedChildListSpoilsOnlyThatProject) {
    const fs::path list = writer.DataPath(project);
    vsstest::TruncateFile(list, fs::file_size(list) - 3);
    auto db = Open();
    try {
        db->Locate("$/Project/file.txt");
        FAIL() << "a truncated child list was read";
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), vssdb::ErrorKind::kCorrupt);
        EXPECT_NE(std::string(error.what()).find(list.filename().string()), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(db->Locate("$/").path.Spec(), "$/");
}

TEST_P(DamagedDatabase, DamageThatStopsTheOpening) {
    const fs::path users = writer.UserFilePath();
    vsstest::PatchBytes(users, vssdb::file_header_format::kSize + 8,
                        "x");  // HU body, crc now wrong
    try {
        Open();
        FAIL() << "a damaged user file was read";
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), vssdb::ErrorKind::kCorrupt);
        EXPECT_NE(std::string(error.what()).find("um.dat"), std::string::npos) << error.what();
    }
    fs::remove(users);
    EXPECT_THROW(Open(), vssdb::Error);
    fs::remove(writer.LogPath(writer.Root()));
    try {
        Open();
        FAIL() << "opened without a root project";
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), vssdb::ErrorKind::kNotFound);
        EXPECT_NE(std::string(error.what()).find("aaaaaaaa"), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(VersionSizes, DamagedDatabase,
                         testing::Values(std::size_t{0}, std::size_t{300'000}),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                             return info.param == 0 ? std::string("ReadWhole")
                                                    : std::string("ReadByRecords");
                         });

// A name record checked against the short name field that points at it, as SourceSafe
// writes the two: what real databases hold reads as before, and a name that is not the
// item's is refused. `shortName` is the field; the record holds `entries`.
struct NameCheck {
    std::string name;
    vsstest::NameEntries entries;
    std::string shortName;
    bool project = false;
    // Bytes after the records (more records, zeros), which the header's end stays before;
    // and how far that end is moved on, past the end of the file.
    std::string trailer = {};
    int endMoved = 0;
    std::optional<std::string> expected = {};  // the long name; none: the short name shows
    std::string error = {};                    // when refused
};

std::ostream& operator<<(std::ostream& out, const NameCheck& check) {
    return out << check.name;
}

class NameRecordCheck : public testing::TestWithParam<NameCheck> {};

TEST_P(NameRecordCheck, AcceptsTheItemsOwnNameOnly) {
    const NameCheck& c = GetParam();
    vsstest::NamesFileBuilder builder;
    vssdb::NameField field;
    field.shortName = c.shortName;
    field.namesOffset = builder.Add(c.entries);
    std::string bytes = builder.Bytes();
    const std::size_t end = 8 + vssdb::names_file_format::kHeaderEndOffset;
    vsstest::PutU32(bytes, end, vsstest::GetU32(bytes, end) + c.endMoved);
    vsstest::RefreshRecordCrc(bytes, 0);
    bytes += c.trailer;
    const vssdb::NamesFile names(vssdb::PhysicalFile::FromBytes("data/names.dat", bytes));
    try {
        EXPECT_EQ(names.LongNameOf(field, c.project), c.expected);
        EXPECT_EQ(c.error, "") << "accepted";
    } catch (const vssdb::Error& error) {
        EXPECT_NE(c.error, "") << error.what();
        EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("data/names.dat"), std::string::npos);
    }
}

using Kind = vsstest::NameKind;

// A name record of the DOS, long and Mac names of `name`, as the writer makes them.
vsstest::NameEntries FileNames(const std::string& name) {
    return {{Kind::kLong, name}, {Kind::kDos, "ALIAS~1.TXT"}, {Kind::kMac, name.substr(0, 31)}};
}

std::string AnotherRecord() {
    std::string record;
    vsstest::RecordBuilder builder(record, vssdb::record_format::kName, 4 + 4);
    builder.U16(0, 1);
    builder.U16(4, static_cast<std::uint16_t>(Kind::kLong));
    builder.Append(std::string_view("next.txt\0", 9));
    builder.Finish();
    return record;
}

// A Shift-JIS name whose 33rd byte is the first of a double-byte character.
const std::string kJapanese =
    "\x83\x65\x83\x58\x83\x67\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x96\xbc\x91\x4f"
    "\x82\xaa\x92\xb7\x82\xa2\x8e\x9e\x82\xcd"
    "ab"
    "\x8e\x9e"
    ".txt";

NameCheck Shows(std::string name, vsstest::NameEntries entries, std::string shortName,
                std::optional<std::string> expected, std::string trailer = {}, int endMoved = 0) {
    return NameCheck{std::move(name),    std::move(entries), std::move(shortName), false,
                     std::move(trailer), endMoved,           std::move(expected)};
}

const std::string kCutName = "SN Activities or Meetings until now.pdf";
const std::string kCutShortName = "SN_Activities_or_Meetings_until_n";

INSTANTIATE_TEST_SUITE_P(
    Names, NameRecordCheck,
    testing::Values(
        Shows("CutAt33Bytes", FileNames(kCutName), kCutShortName, kCutName),
        NameCheck{
            "LeadingDotsDropped", {{Kind::kProjectLong, ".idea"}}, "idea", true, {}, 0, ".idea"},
        Shows("EmptyShortField", FileNames("~sak1f0eaeec01d1672d.vbproj"), "",
              "~sak1f0eaeec01d1672d.vbproj"),
        Shows("LetterCaseAside", FileNames("ReadMe First.txt"), "README_FIRST.TXT",
              "ReadMe First.txt"),
        Shows("CutOneByteEarlyBeforeADoubleByteCharacter", FileNames(kJapanese),
              kJapanese.substr(0, 32), kJapanese),
        Shows("DosAliasOnly", {{Kind::kDos, "README~1.TXT"}}, "readme_first.txt", std::nullopt),
        Shows("RecordWrittenBeforeTheHeaderTakesItIn", FileNames("~sakab.tmp"), "", "~sakab.tmp",
              AnotherRecord()),
        Shows("WholeNameWhileTheFileIsCutShort", FileNames("New Text Document.txt"),
              "New_Text_Document.txt", "New Text Document.txt", {}, 100),
        NameCheck{"CutNameWhileTheFileIsCutShort",
                  FileNames(kCutName),
                  kCutShortName,
                  false,
                  {},
                  100,
                  std::nullopt,
                  "cannot be checked against the item's short name"}),
    [](const testing::TestParamInfo<NameCheck>& info) { return info.param.name; });

}  // namespace
