// srcsafe.ini: keys, sections and where the data folder is.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"
#include "vssdb/error.h"
#include "vssdb/srcsafe_ini.h"

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
