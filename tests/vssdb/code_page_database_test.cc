// The code page of whole databases written for the test, found out from a couple of short
// names under an English locale, as real databases often offer no more.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "codepage/text_decoder.h"
#include "testing/database_writer.h"
#include "tests/support/temp_dir.h"
#include "vssdb/database.h"
#include "vssdb/error.h"

namespace {

struct FewNames {
    int codePage;
    std::vector<std::string> names;  // UTF-8; the first is a project, the rest files in it
};
void PrintTo(const FewNames& c, std::ostream* os) {
    *os << "cp" << c.codePage;
    for (const std::string& name : c.names) {
        *os << " " << name;
    }
}

class DatabaseCodePage : public testing::TestWithParam<FewNames> {};

INSTANTIATE_TEST_SUITE_P(
    OneOrTwoNames, DatabaseCodePage,
    testing::Values(FewNames{932, {"設計書"}}, FewNames{932, {"仕様", "テスト.txt"}},
                    FewNames{936, {"数据库"}}, FewNames{936, {"项目", "测试文件.txt"}},
                    FewNames{950, {"資料庫"}}, FewNames{950, {"專案", "測試檔案.txt"}},
                    FewNames{949, {"한국어"}}, FewNames{949, {"프로젝트", "테스트.txt"}},
                    FewNames{1251, {"Проект"}}, FewNames{1251, {"Тест", "отчет.doc"}},
                    FewNames{1252, {"Résumé.doc"}}, FewNames{1252, {"Größe", "café.txt"}},
                    FewNames{1250, {"Előzmények"}}, FewNames{1250, {"Zażółć", "gęślą.txt"}},
                    FewNames{1253, {"Έγγραφο"}}, FewNames{1254, {"Kullanıcı", "Değişiklik.txt"}},
                    FewNames{1255, {"פרויקט"}}, FewNames{1256, {"مشروع"}},
                    FewNames{1257, {"Pārbaude", "Dokumentų.txt"}}, FewNames{874, {"รายงาน"}},
                    // Longer than the 33 bytes of the short name field, which then ends
                    // in half a character; and a name whose last byte is a lead byte in 932.
                    FewNames{932, {"一時アセンブリファイルを開けません.doc"}},
                    FewNames{936, {"项目", "选择一个差异算法以后再保存文件.txt"}},
                    FewNames{949, {"아니라"}}),
    [](const testing::TestParamInfo<FewNames>& info) {
        return "cp" + std::to_string(info.param.codePage) + "_" + std::to_string(info.index);
    });

TEST_P(DatabaseCodePage, IsFoundOutAndNamesDecode) {
    const FewNames& param = GetParam();
    const codepage::TextDecoder encoder(param.codePage);
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    std::vector<std::string> encoded;
    for (const std::string& name : param.names) {
        encoded.push_back(*encoder.FromUtf8(name));
    }
    const vsstest::ItemId project = writer.AddProject(writer.Root(), encoded[0]);
    for (std::size_t i = 1; i < encoded.size(); ++i) {
        writer.AddFile(project, encoded[i]);
    }
    writer.Write();

    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1252;  // an English locale
    const auto db = vssdb::Database::Open(writer.IniPath().string(), options);
    EXPECT_EQ(db->codePage(), param.codePage);
    std::string spec = "$/" + param.names[0];
    EXPECT_EQ(db->Locate(spec).path.Name(), param.names[0]);
    for (std::size_t i = 1; i < param.names.size(); ++i) {
        EXPECT_EQ(db->Locate(spec + "/" + param.names[i]).path.Name(), param.names[i]);
    }
}

TEST(DatabaseCodePage, AsciiDatabaseTakesTheLocalesPage) {
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    writer.AddProject(writer.Root(), "Plain");
    writer.Write();
    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1251;
    EXPECT_EQ(vssdb::Database::Open(writer.IniPath().string(), options)->codePage(), 1251);
}

TEST(DatabaseCodePage, CommentsAndUserNamesCountToo) {
    // Only a user name and a comment are non-ASCII; every item name is plain.
    const codepage::TextDecoder sjis(932);
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    const std::string user = *sjis.FromUtf8("鈴木");
    writer.AddUser(user, "");
    const vsstest::ItemId file =
        writer.AddFile(writer.Root(), "main.c", vsstest::Stamp{user, 100, {}});
    writer.CheckIn(file, vsstest::Stamp{user, 200, *sjis.FromUtf8("バグを修正しました")});
    writer.Write();
    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1252;
    EXPECT_EQ(vssdb::Database::Open(writer.IniPath().string(), options)->codePage(), 932);
}

TEST(DatabaseCodePage, RememberedUntilTheDatabaseChanges) {
    varnotte::test::TempDir dir;
    const auto write = [&](int codePage, const std::string& name) {
        std::filesystem::remove_all(dir / "db");
        vsstest::DatabaseWriter writer(dir / "db");
        writer.AddProject(writer.Root(), *codepage::TextDecoder(codePage).FromUtf8(name));
        writer.Write();
        return writer.IniPath().string();
    };
    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1252;
    const std::string ini = write(1251, "Проект");
    EXPECT_EQ(vssdb::Database::Open(ini, options)->codePage(), 1251);
    EXPECT_EQ(vssdb::Database::Open(ini, options)->codePage(), 1251);
    // Another database written in the same place: its names file differs, so it is read.
    write(932, "設計書の一覧");
    EXPECT_EQ(vssdb::Database::Open(ini, options)->codePage(), 932);
}

// A login compares names and password hashes in the database's code page, which a census
// put off until then must settle first.
struct LoginCase {
    const char* label;
    bool censusPutOff;
    std::string user;  // UTF-8
    std::string password;
    std::optional<vssdb::ErrorKind> refused;
};
void PrintTo(const LoginCase& c, std::ostream* os) {
    *os << c.label;
}

class DatabaseLogin : public testing::TestWithParam<LoginCase> {};

INSTANTIATE_TEST_SUITE_P(
    ShiftJisUsers, DatabaseLogin,
    testing::Values(
        LoginCase{"AtOpen", false, "田中", "ぱすぽ", std::nullopt},
        LoginCase{"PutOff", true, "田中", "ぱすぽ", std::nullopt},
        LoginCase{"PutOffWrongPassword", true, "田中", "ぱすぱ", vssdb::ErrorKind::kBadPassword},
        LoginCase{"PutOffAsciiUser", true, "guest", "", std::nullopt},
        LoginCase{"PutOffUnknownUser", true, "鈴木", "", vssdb::ErrorKind::kUserNotFound}),
    [](const testing::TestParamInfo<LoginCase>& info) { return info.param.label; });

TEST_P(DatabaseLogin, ComparesInTheFoundCodePage) {
    const LoginCase& param = GetParam();
    const codepage::TextDecoder sjis(932);
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    const std::string tanaka = *sjis.FromUtf8("田中");
    writer.AddUser(tanaka, *sjis.FromUtf8("ぱすぽ"));
    const vsstest::ItemId file =
        writer.AddFile(writer.Root(), "main.c", vsstest::Stamp{tanaka, 100, {}});
    writer.CheckIn(file, vsstest::Stamp{tanaka, 200, *sjis.FromUtf8("バグを修正しました")});
    writer.Write();

    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1252;
    options.settleCodePageLate = param.censusPutOff;
    const auto db = vssdb::Database::Open(writer.IniPath().string(), options);
    try {
        db->Login(param.user, param.password);
        EXPECT_FALSE(param.refused) << "logged in";
    } catch (const vssdb::Error& error) {
        EXPECT_EQ(std::optional(error.kind()), param.refused) << error.what();
    }
    EXPECT_EQ(db->codePage(), 932);
    EXPECT_EQ(db->codePageOrigin(), vssdb::CodePageOrigin::kGuessed);
}

}  // namespace

namespace {

// A database at `root` with one project named `name`, its bookkeeping files spelled in
// upper case, as in copies from old servers.
void WriteUpperCaseCopy(const std::filesystem::path& root, int codePage, const std::string& name) {
    vsstest::DatabaseWriter writer(root);
    writer.AddProject(writer.Root(), *codepage::TextDecoder(codePage).FromUtf8(name));
    writer.Write();
    for (const char* file : {"names.dat", "um.dat", "aaaaaaaa.cnt"}) {
        std::string upper = file;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const std::filesystem::path path = writer.DataFolderPath() / file;
        if (std::filesystem::exists(path)) {
            std::filesystem::rename(path, writer.DataFolderPath() / upper);
        }
    }
}

}  // namespace

// The code page found for a database is remembered until its bookkeeping files change,
// whatever the case of their names.
TEST(RememberedCodePage, IsForgottenWhenAnUpperCaseCopyIsReplaced) {
    varnotte::test::TempDir dir;
    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1252;
    WriteUpperCaseCopy(dir / "db", 1251, "Проект");
    const std::string ini = (dir / "db" / "srcsafe.ini").string();
    EXPECT_EQ(vssdb::Database::Open(ini, options)->codePage(), 1251);
    EXPECT_EQ(vssdb::Database::Open(ini, options)->codePage(), 1251);

    WriteUpperCaseCopy(dir / "other", 932, "設計書");
    std::filesystem::remove_all(dir / "db");
    std::filesystem::rename(dir / "other", dir / "db");
    const auto reopened = vssdb::Database::Open(ini, options);
    EXPECT_EQ(reopened->codePage(), 932);
    EXPECT_EQ(reopened->Locate("$/設計書").path.Name(), "設計書");
}

// Old databases keep every file directly in the data folder; their texts count as well.
TEST(DatabaseCodePageFlatLayout, IsFoundOutFromTheLogs) {
    varnotte::test::TempDir dir;
    vsstest::DatabaseWriter writer(dir.path());
    const codepage::TextDecoder encoder(1251);
    const vsstest::ItemId project = writer.AddProject(writer.Root(), *encoder.FromUtf8("Проект"));
    writer.AddFile(project, *encoder.FromUtf8("отчет.doc"));
    writer.Write();
    const std::filesystem::path data = writer.DataFolderPath();
    for (const auto& letter : std::filesystem::directory_iterator(data)) {
        if (!letter.is_directory()) {
            continue;
        }
        for (const auto& file : std::filesystem::directory_iterator(letter.path())) {
            std::filesystem::rename(file.path(), data / file.path().filename());
        }
        std::filesystem::remove(letter.path());
    }

    vssdb::OpenOptions options;
    options.tieBreakCodePage = 1252;
    const auto db = vssdb::Database::Open(writer.IniPath().string(), options);
    EXPECT_EQ(db->codePage(), 1251);
    EXPECT_EQ(db->Locate("$/Проект/отчет.doc").path.Name(), "отчет.doc");
}
