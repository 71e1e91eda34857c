// srcsafe.ini: keys, sections and where the data folder is.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "vssdb/error.h"
#include "vssdb/srcsafe_ini.h"
#include "vssdb/time_zone.h"

namespace {

namespace fs = std::filesystem;
using varnotte::test::TempDir;

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(SrcSafeIniParse, ReadsOnlyTheGlobalPartWithCaseInsensitiveKeys) {
    const vssdb::SrcSafeIni ini = vssdb::ParseSrcSafeIni(
        "\xEF\xBB\xBF; comment = ignored\r\n"
        "DATA_path =  Data Files  \r\n"
        "Users_Txt=\"users.txt\"\r\n"
        "data_path = second\r\n"
        "no equals sign here\r\n"
        "[TimeZone]\r\n"
        "Temp_Path = from a section\r\n");
    EXPECT_EQ(ini.Get("Data_Path"), "Data Files");  // first value wins, trimmed
    EXPECT_EQ(ini.Get("users_txt"), "users.txt");   // quotes removed
    EXPECT_EQ(ini.Get("Temp_Path", "none"), "none");
    EXPECT_EQ(ini.Get("; comment", "none"), "none");
}

// A wall-clock time as SourceSafe stores it: seconds since 1970 on that clock.
std::int64_t Wall(int year, unsigned month, unsigned day, int hour, int minute = 0) {
    using namespace std::chrono;
    const sys_days date =
        year_month_day(std::chrono::year(year), std::chrono::month(month), std::chrono::day(day));
    return date.time_since_epoch().count() * 86400LL + hour * 3600LL + minute * 60LL;
}

struct ZoneCase {
    const char* name;
    std::string section;  // the [TimeZone] lines; empty: no section
    // Wall-clock times and their UTC offsets; none when no zone is named.
    std::vector<std::pair<std::int64_t, const char*>> offsets;
};

// The switch days are worked out from calendars: the second Sunday of March 2007 was the
// 11th, the first Sunday of November the 4th; the last Sundays of March and October 2009
// the 29th and the 25th; the first Sundays of October 2007 and April 2008 the 7th and 6th.
TEST(SrcSafeIniTimeZone, OffsetsOfWallClockTimes) {
    const std::string eastern =
        "Name = (UTC-05:00) Eastern Time (US & Canada)\r\nTZ_Bias = 300\r\n"
        "TZ_DaylightBias = -60\r\nTZ_StandardBias = 0\r\nTZ_UseDaylightSavingTime = Yes\r\n"
        "TZ_DaylightDate = 0000/03/02 02:00:00.000\r\nTZ_StandardDate = 0000/11/01 "
        "02:00:00.000\r\n";
    const std::vector<ZoneCase> cases = {
        {"eastern, both switches",
         eastern,
         {{Wall(2007, 1, 15, 12), "-05:00"},
          {Wall(2007, 3, 11, 1, 59), "-05:00"},
          {Wall(2007, 3, 11, 3), "-04:00"},
          {Wall(2007, 7, 1, 12), "-04:00"},
          // The hour the clock goes back to repeats: taken as daylight time.
          {Wall(2007, 11, 4, 1, 30), "-04:00"},
          {Wall(2007, 11, 4, 2), "-05:00"}}},
        {"daylight saving switched off",
         "TZ_UseDaylightSavingTime = No\r\n" + eastern,  // the first value counts
         {{Wall(2007, 7, 1, 12), "-05:00"}}},
        {"india, no rules although daylight saving is on (as the real databases say)",
         "Name = (UTC+05:30) Chennai\r\nTZ_Bias = -330\r\nTZ_DaylightBias = -60\r\n"
         "TZ_DaylightDate = 0000/00/00 00:00:00.000\r\nTZ_StandardBias = 0\r\n"
         "TZ_StandardDate = 0000/00/00 00:00:00.000\r\nTZ_UseDaylightSavingTime = Yes\r\n",
         {{Wall(2010, 7, 1, 12), "+05:30"}, {Wall(2010, 1, 1, 0), "+05:30"}}},
        {"europe, the last Sunday of the month",
         "TZ_Bias = -60\r\nTZ_DaylightBias = -60\r\n"
         "TZ_DaylightDate = 0000/03/05 02:00:00.000\r\nTZ_StandardDate = 0000/10/05 "
         "03:00:00.000\r\n",
         {{Wall(2009, 3, 28, 12), "+01:00"},
          {Wall(2009, 3, 29, 2), "+02:00"},
          {Wall(2009, 10, 25, 2, 59), "+02:00"},
          {Wall(2009, 10, 25, 3), "+01:00"}}},
        {"sydney, daylight time around the turn of the year",
         "TZ_Bias = -600\r\nTZ_DaylightBias = -60\r\n"
         "TZ_DaylightDate = 0000/10/01 02:00:00.000\r\nTZ_StandardDate = 0000/04/01 "
         "03:00:00.000\r\n",
         {{Wall(2008, 1, 15, 12), "+11:00"},
          {Wall(2008, 4, 6, 3), "+10:00"},
          {Wall(2007, 10, 7, 2), "+11:00"},
          {Wall(2008, 6, 15, 12), "+10:00"}}},
        {"rules that cannot be read leave standard time",
         "TZ_Bias = 300\r\nTZ_DaylightBias = -60\r\n"
         "TZ_DaylightDate = 0000/13/02 02:00:00.000\r\nTZ_StandardDate = someday\r\n",
         {{Wall(2007, 7, 1, 12), "-05:00"}}},
        {"no section", "", {}},
        {"no bias", "Name = (UTC) somewhere\r\n", {}},
        {"a bias that is no number", "TZ_Bias = 3OO\r\n", {}},
        {"a bias beyond a day", "TZ_Bias = 99999\r\n", {}},
    };
    for (const ZoneCase& zoneCase : cases) {
        const std::string text =
            "Data_Path = data\r\n" +
            (zoneCase.section.empty() ? std::string() : "[TimeZone]\r\n" + zoneCase.section);
        const std::optional<vssdb::TimeZone> zone = vssdb::TimeZoneOf(vssdb::ParseSrcSafeIni(text));
        ASSERT_EQ(zone.has_value(), !zoneCase.offsets.empty()) << zoneCase.name;
        for (const auto& [wall, offset] : zoneCase.offsets) {
            EXPECT_EQ(vssdb::UtcOffsetText(zone->UtcOffsetAt(wall)), offset)
                << zoneCase.name << " at " << wall;
        }
    }
}

class DataFolderLookup : public testing::Test {
  protected:
    TempDir dir;
    fs::path ini = dir / "srcsafe.ini";
};

TEST_F(DataFolderLookup, RelativePathWithBackslashesMatchedIgnoringCase) {
    fs::create_directories(dir / "VSS" / "DATA");
    WriteFile(ini, "Data_Path = vss\\data\n");
    EXPECT_EQ(vssdb::LocateDataFolder(ini.string()), (dir / "VSS" / "DATA").string());
}

TEST_F(DataFolderLookup, MissingKeyMeansDataBesideTheIni) {
    fs::create_directories(dir / "data");
    WriteFile(ini, "; nothing set\n[TimeZone]\nData_Path = elsewhere\n");
    EXPECT_EQ(vssdb::LocateDataFolder(ini.string()), (dir / "data").string());
}

TEST_F(DataFolderLookup, WindowsPathFallsBackToDataBesideTheIni) {
    fs::create_directories(dir / "data");
    WriteFile(ini, "Data_Path = \\\\server\\share\\vss\\data\n");
    EXPECT_EQ(vssdb::LocateDataFolder(ini.string()), (dir / "data").string());
}

TEST_F(DataFolderLookup, FailuresNameTheIniAndTheSetting) {
    WriteFile(ini, "Data_Path = //wt-source/Visual Source Safe/data\n");
    try {
        vssdb::LocateDataFolder(ini.string());
        FAIL() << "expected an error";
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(error.kind(), vssdb::ErrorKind::kNotFound);
        EXPECT_NE(std::string(error.what()).find(ini.string()), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("//wt-source"), std::string::npos) << error.what();
    }
    WriteFile(ini, "Data_Path = missing\n");
    EXPECT_THROW(vssdb::LocateDataFolder(ini.string()), vssdb::Error);
    WriteFile(dir / "data", "a file where the folder should be");
    WriteFile(ini, "Data_Path = data\n");
    EXPECT_THROW(vssdb::LocateDataFolder(ini.string()), vssdb::Error);
}

TEST_F(DataFolderLookup, RefusesWhatIsNotAnIniFile) {
    EXPECT_THROW(vssdb::LocateDataFolder((dir / "absent.ini").string()), vssdb::Error);
    fs::create_directories(dir / "folder.ini");
    EXPECT_THROW(vssdb::LocateDataFolder((dir / "folder.ini").string()), vssdb::Error);
    WriteFile(ini, std::string("Data_Path = data\0\x01\x02", 19));
    EXPECT_THROW(vssdb::LocateDataFolder(ini.string()), vssdb::Error);
}

}  // namespace
