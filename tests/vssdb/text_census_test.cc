// The code page census skips the records that cannot hold non-ASCII text, checksums and
// all, and never reads the content deltas; what it hands the detector must stay exactly
// what reading every history record in order gives, damaged databases included.
#include "vssdb/text_census.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/code_page_words.h"
#include "testing/damage.h"
#include "testing/database_generator.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "testing/record_builder.h"
#include "tests/support/case_names.h"
#include "tests/support/temp_dir.h"
#include "vssdb/data_folder.h"
#include "vssdb/database.h"
#include "vssdb/error.h"
#include "vssdb/file_header_check.h"
#include "vssdb/item_header_format.h"
#include "vssdb/item_log.h"
#include "vssdb/name_format.h"
#include "vssdb/physical_file.h"
#include "vssdb/project_entries.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"
#include "vssdb/referenced_logs.h"
#include "vssdb/revision_format.h"

namespace vssdb {
namespace {

namespace fs = std::filesystem;
namespace rf = record_format;
namespace rv = revision_format;

bool HasHighByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The census read the plain way: every history record of every referenced log checked and
// parsed, in order, stopping at a file's first damaged one. Deltas hold no texts and are
// stepped over by their lengths: a damaged delta spoils an old version's content, which
// no export reads, and nothing of the history.
std::vector<std::string> PlainCensus(const fs::path& data, const NamesFile& names,
                                     const std::vector<UserRecord>& users) {
    std::vector<std::string> texts;
    const auto keep = [&texts](std::string_view text) {
        if (HasHighByte(text)) {
            texts.emplace_back(text);
        }
    };
    names.ForEachText(keep);
    for (const UserRecord& user : users) {
        keep(user.name);
    }
    const DataFolder folder(data.string());
    ForEachReferencedLog(folder, [&](RecordSource& log) {
        PhysicalFile whole = PhysicalFile::Read(log.path());
        whole.KeepFirst(log.size());
        const ByteView file = whole.view();
        try {
            for (std::size_t offset = file_header_format::kSize; offset < file.size();) {
                const std::uint32_t length = file.U32(offset + rf::kLengthOffset);
                if (file.Bytes(offset + rf::kSignatureOffset, 2) == rf::kDelta &&
                    length <= file.size() - offset - rf::kHeaderSize) {
                    offset += rf::kHeaderSize + length;
                    continue;
                }
                const Record record = ReadRecordAt(file, offset);
                offset = record.end();
                if (record.signature == rf::kItemHeader) {
                    keep(record.body.CString(
                        item_header_format::kName + name_format::kShortNameOffset,
                        name_format::kShortNameSize));
                } else if (record.signature == rf::kRevision) {
                    const Revision rev = ParseRevision(record);
                    for (const std::string* text :
                         {&rev.user, &rev.label, &rev.name.shortName, &rev.oldName.shortName,
                          &rev.spec, &rev.archivePath}) {
                        keep(*text);
                    }
                } else if (record.signature == rf::kComment) {
                    keep(record.body.CString(0, record.body.size()));
                }
            }
        } catch (const Error&) {
        }
    });
    return texts;
}

std::vector<std::string> Census(const fs::path& data, const NamesFile& names,
                                const std::vector<UserRecord>& users) {
    std::vector<std::string> texts;
    const DataFolder folder(data.string());
    ForEachDatabaseText(folder, names, users,
                        [&texts](std::string_view text) { texts.emplace_back(text); });
    return texts;
}

fs::path MakeDatabase(const fs::path& root, int codePage, int nonAsciiPercent, int textBytes) {
    vsstest::DatabaseShape shape;
    shape.projects = 30;
    shape.filesPerProject = 12;
    shape.versionsPerFile = 3;
    shape.codePage = codePage;
    shape.nonAsciiPercent = nonAsciiPercent;
    shape.textBytes = shape.binaryBytes = textBytes;
    vsstest::GenerateDatabase(root, shape);
    return root / "data";
}

// Damages every `step`-th log in turn: a checksum broken in a version, in a comment, in a
// delta, in the item header, the last record cut short, a record length pointing past the end.
void Damage(const fs::path& data, int step) {
    std::vector<fs::path> logs;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (entry.is_regular_file() && entry.path().filename().string().size() == 8 &&
            entry.path().parent_path() != data) {
            logs.push_back(entry.path());
        }
    }
    std::sort(logs.begin(), logs.end());
    int kind = 0;
    for (std::size_t i = 0; i < logs.size(); i += static_cast<std::size_t>(step), ++kind) {
        const std::vector<vsstest::RecordInfo> records = vsstest::ListRecords(logs[i], true);
        const auto find = [&](std::string_view signature, bool last) -> const vsstest::RecordInfo* {
            const vsstest::RecordInfo* found = nullptr;
            for (const auto& record : records) {
                if (record.signature == signature && (found == nullptr || last)) {
                    found = &record;
                }
            }
            return found;
        };
        const vsstest::RecordInfo* target = nullptr;
        switch (kind % 6) {
            case 0:
                target = find(rf::kRevision, false);
                break;
            case 1:
                target = find(rf::kComment, false);
                break;
            case 2:
                target = find(rf::kDelta, true);
                break;
            case 3:
                target = find(rf::kItemHeader, false);
                break;
            case 4:
                vsstest::TruncateFile(logs[i], fs::file_size(logs[i]) - 3);
                continue;
            default:
                vsstest::PatchU32(logs[i], records.at(records.size() / 2).offset, 0x7FFFFFF0);
                continue;
        }
        if (target != nullptr && target->length > 20) {
            // A byte of the body flipped, and the stored checksum left as it was.
            vsstest::PatchBytes(logs[i], target->offset + rf::kHeaderSize + 16, "\xC9");
            if (target->signature == rf::kComment) {
                vsstest::PatchU16(logs[i], target->offset + rf::kCrcOffset, 0x1234);
            }
        }
    }
}

// The census finished after a walk took every `step`-th log (and child list) in passing.
std::vector<std::string> PassingCensusTexts(const fs::path& data, const NamesFile& names,
                                            const std::vector<UserRecord>& users, int step) {
    PassingCensus census;
    std::vector<fs::path> logs;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (entry.is_regular_file() && IsPhysicalName(entry.path().filename().string())) {
            logs.push_back(entry.path());
        }
    }
    std::sort(logs.begin(), logs.end());
    for (std::size_t i = 0; i < logs.size(); i += static_cast<std::size_t>(step)) {
        try {
            const ItemLog log = ItemLog::Read(logs[i].string());
            std::string physical = logs[i].filename().string();
            census.LogRead(physical, log.header(), log.records());
            const DataFolder folder(data.string());
            const std::string list = folder.FindData(physical, log.header().dataExtension);
            if (log.header().type == ItemType::kProject && !list.empty()) {
                census.ChildListRead(physical, ReadChildList(list, log.header().childCount));
            }
        } catch (const Error&) {
            // Damage: the walk reports it, and the census reads the log again.
        }
    }
    std::vector<std::string> texts;
    census.Finish(DataFolder(data.string()), names, users,
                  [&texts](std::string_view text) { texts.emplace_back(text); });
    return texts;
}

struct CensusCase {
    std::string name;
    int codePage;
    int nonAsciiPercent;
    int damageStep;     // 0: undamaged
    int textBytes = 0;  // of each check-in: over 64 KiB, logs are read record by record
};

class CensusTexts : public testing::TestWithParam<CensusCase> {};

TEST_P(CensusTexts, AreThoseOfReadingEveryRecordInOrder) {
    const CensusCase& c = GetParam();
    varnotte::test::TempDir temp;
    const fs::path data = MakeDatabase(temp / "db", c.codePage, c.nonAsciiPercent, c.textBytes);
    if (c.damageStep > 0) {
        Damage(data, c.damageStep);
    }
    const NamesFile names(PhysicalFile::Read((data / "names.dat").string()));
    const std::vector<UserRecord> users = ReadUsers(PhysicalFile::Read((data / "um.dat").string()));

    const std::vector<std::string> expected = PlainCensus(data, names, users);
    const std::vector<std::string> actual = Census(data, names, users);
    if (c.nonAsciiPercent > 0) {
        EXPECT_GT(expected.size(), 100u) << "the case must give the census something to count";
    }
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "text " << i;
    }
    // Taken in passing, whatever part of the logs the walk read first.
    for (const int step : {1, 3}) {
        EXPECT_EQ(PassingCensusTexts(data, names, users, step), expected) << "every " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, CensusTexts,
                         testing::Values(CensusCase{"AllAscii", 1252, 0, 0},
                                         CensusCase{"FewWesternTexts", 1252, 3, 0},
                                         CensusCase{"MostlyJapanese", 932, 60, 0},
                                         CensusCase{"DamagedWestern", 1252, 10, 3},
                                         CensusCase{"DamagedJapanese", 932, 60, 2},
                                         CensusCase{"DamagedAllAscii", 1252, 0, 2},
                                         CensusCase{"LargeLogsJapanese", 932, 60, 0, 70000},
                                         CensusCase{"LargeLogsDamaged", 1252, 10, 2, 70000}),
                         [](const testing::TestParamInfo<CensusCase>& info) {
                             return info.param.name;
                         });

// Every byte of a version record, made non-ASCII in turn under every action: whenever
// ParseRevision then gives a text with that byte, the quick look must have said "may hold".
TEST(RecordMayHoldNonAscii, NeverMissesATextParseRevisionGives) {
    for (int action = 0; action <= 27; ++action) {
        for (std::size_t at = 0; at < rv::kBodySize; ++at) {
            if (at == rv::kAction || at == rv::kAction + 1) {
                continue;
            }
            std::string body(rv::kBodySize, 'a');
            body[rv::kAction] = static_cast<char>(action);
            body[rv::kAction + 1] = '\0';
            body[at] = '\xC9';
            const std::string path = "test";
            Record record;
            record.signature = rf::kRevision;
            record.body = ByteView(body, &path);
            const Revision rev = ParseRevision(record);
            EXPECT_EQ(rev.action, action);
            bool parsedHigh = false;
            for (const std::string* text : {&rev.user, &rev.label, &rev.name.shortName,
                                            &rev.oldName.shortName, &rev.spec, &rev.archivePath}) {
                parsedHigh = parsedHigh || HasHighByte(*text);
            }
            if (parsedHigh) {
                ASSERT_TRUE(RecordMayHoldNonAscii(rf::kRevision, body))
                    << "action " << action << ", byte " << at;
            }
        }
        std::string ascii(rv::kBodySize, 'a');
        ascii[rv::kAction] = static_cast<char>(action);
        ascii[rv::kAction + 1] = '\0';
        EXPECT_FALSE(RecordMayHoldNonAscii(rf::kRevision, ascii)) << "action " << action;
    }
}

TEST(RecordMayHoldNonAscii, ReadsCommentsAndHeadersAsTheCensusDoes) {
    using namespace std::string_literals;
    EXPECT_TRUE(RecordMayHoldNonAscii(rf::kComment, "caf\xE9\0"s));
    EXPECT_FALSE(RecordMayHoldNonAscii(rf::kComment, "cafe\0\xE9 after the end"s));
    EXPECT_FALSE(RecordMayHoldNonAscii(rf::kDelta, "\xFF\xFF\xFF\xFF"s));
    EXPECT_TRUE(RecordMayHoldNonAscii(rf::kRevision, std::string(rv::kBodySize - 1, 'a')))
        << "too short to parse: only reading it properly tells";

    std::string header(item_header_format::kBodySize, '\0');
    EXPECT_FALSE(RecordMayHoldNonAscii(rf::kItemHeader, header));
    header[item_header_format::kName + name_format::kShortNameOffset] = '\x93';
    EXPECT_TRUE(RecordMayHoldNonAscii(rf::kItemHeader, header));
    EXPECT_TRUE(RecordMayHoldNonAscii(rf::kItemHeader, "short"));
}

// The census reads the logs the database references, each once, and nothing else: not a
// log that no list names any more, not a copy, not a file named like an item.
TEST(ReferencedLogs, AreEveryItemsAndBranchSourcesAndNothingElse) {
    varnotte::test::TempDir temp;
    vsstest::DatabaseWriter writer(temp / "db");
    const vsstest::ItemId p = writer.AddProject(writer.Root(), "P");
    const vsstest::ItemId deleted = writer.AddFile(p, "deleted.txt");
    writer.Delete(p, deleted);
    const vsstest::ItemId source = writer.AddFile(p, "source.txt");
    writer.CheckIn(source);
    const vsstest::ItemId other = writer.AddProject(writer.Root(), "Other");
    writer.Share(source, other);
    const vsstest::ItemId branched = writer.Branch(other, source);
    const vsstest::ItemId sub = writer.AddProject(p, "Sub");
    const vsstest::ItemId deep = writer.AddFile(sub, "deep.txt");
    const vsstest::ItemId gone = writer.AddFile(p, "gone.txt");
    writer.Write();
    // Entries taken out of P's list by hand (and its count lowered): gone.txt's log is then
    // referenced by nothing, source.txt's by the branch alone.
    const fs::path list = writer.DataPath(p);
    std::string bytes = vsstest::ReadWholeFile(list);
    for (const vsstest::ItemId item : {gone, source}) {
        for (const vsstest::RecordInfo& record : vsstest::ListRecordsInBytes(bytes, false)) {
            if (bytes.compare(record.offset + 8 + 46, 8, writer.PhysicalName(item)) == 0) {
                bytes.erase(record.offset, 8 + record.length);
                break;
            }
        }
    }
    vsstest::WriteWholeFile(list, bytes);
    const std::size_t count = 52 + 8 + item_header_format::kChildCount;
    vsstest::PatchU16(writer.LogPath(p), count,
                      static_cast<std::uint16_t>(
                          vsstest::GetU16(vsstest::ReadWholeFile(writer.LogPath(p)), count) - 2));
    vsstest::FixRecordCrc(writer.LogPath(p), 52);
    // Files named like items that nothing references.
    fs::create_directories(writer.DataFolderPath() / "z");
    fs::copy_file(writer.LogPath(deep), writer.DataFolderPath() / "z" / "zzzzzzzz");
    fs::copy_file(writer.LogPath(deep), writer.DataFolderPath() / "qaaaaaaa");

    std::vector<std::string> read;
    ForEachReferencedLog(DataFolder(writer.DataFolderPath().string()), [&](RecordSource& log) {
        read.push_back(fs::path(log.path()).filename().string());
        EXPECT_EQ(log.size(), fs::file_size(log.path()));
    });
    std::sort(read.begin(), read.end());
    std::vector<std::string> expected;
    for (const vsstest::ItemId item :
         {writer.Root(), p, deleted, source, other, branched, sub, deep}) {
        std::string name = writer.PhysicalName(item);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        expected.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(read, expected);
}

// A database whose first text reads best in CP1252 ("été") but can be CP932, and whose
// second is plainly Japanese: a code page guessed from the first alone is overturned.
fs::path WriteMisleadingDatabase(const fs::path& root, std::string& firstPhysical) {
    vsstest::DatabaseWriter writer(root);
    const auto first = writer.AddFile(writer.Root(), "a.txt");
    writer.CheckIn(first, vsstest::Stamp{.comment = "\xE9t\xE9"});
    const auto second = writer.AddFile(writer.Root(), "b.txt");
    writer.CheckIn(second, vsstest::Stamp{.comment = vsstest::EncodeInCodePage(
                                              "日本語の説明です。変更の理由を書きました。", 932)});
    writer.Write();
    firstPhysical = writer.PhysicalName(first);
    return writer.IniPath();
}

TEST(ProvisionalCodePage, IsConfirmedOrOverturnedByTheFinishedCensus) {
    varnotte::test::TempDir temp;
    std::string first;
    const fs::path ini = WriteMisleadingDatabase(temp / "db", first);
    OpenOptions late;
    late.settleCodePageLate = true;
    late.tieBreakCodePage = 1252;
    const auto db = Database::Open(ini.string(), late);
    db->AllowProvisionalCodePage();
    const std::string comment = db->History(first).front().comment;
    EXPECT_EQ(db->Decode(comment), "\u00E9t\u00E9") << "guessed from this text alone";
    EXPECT_EQ(db->codePage(), 932) << "asking finishes the census";
    EXPECT_FALSE(db->ConfirmCodePage()) << "and the guess is still known to be overturned";
    EXPECT_EQ(db->Decode(comment), "\u9A01\uFFFD");
    EXPECT_TRUE(db->ConfirmCodePage()) << "settled now";

    OpenOptions atOpen;
    atOpen.tieBreakCodePage = 1252;
    EXPECT_EQ(Database::Open(ini.string(), atOpen)->codePage(), 932);
}

}  // namespace
}  // namespace vssdb
