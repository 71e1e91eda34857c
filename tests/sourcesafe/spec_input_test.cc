// Specs as a user or a script may type them: odd slashes, "." and "..", no "$", very long
// ones. Each reaches an item of the database by its stored names or is not found; none
// reaches outside the database or fails any other way.
#include <gtest/gtest.h>

#include <string>

#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"
#include "testing/database_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace sourcesafe;

struct SpecCase {
    std::string name;
    std::string spec;
    std::string found;  // the item's spec; empty: ESS_ITEM_NOT_FOUND
};

std::ostream& operator<<(std::ostream& out, const SpecCase& c) {
    return out << c.name;
}

class SpecInput : public testing::TestWithParam<SpecCase> {
  protected:
    static void SetUpTestSuite() {
        dir = new varnotte::test::TempDir;
        vsstest::DatabaseWriter writer(dir->path() / "db");
        const vsstest::ItemId a = writer.AddProject(writer.Root(), "a");
        writer.AddFile(writer.AddProject(a, "b"), "c.txt");
        writer.AddFile(writer.Root(), "top.txt");
        writer.Write();
        ini = writer.IniPath().string();
    }
    static void TearDownTestSuite() { delete dir; }

    static varnotte::test::TempDir* dir;
    static std::string ini;
};

varnotte::test::TempDir* SpecInput::dir = nullptr;
std::string SpecInput::ini;

TEST_P(SpecInput, FindsTheItemOrReportsItNotFound) {
    IVSSDatabase db;
    ASSERT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db), S_OK);
    db.Open(ini, "Admin", "");
    try {
        const IVSSItem item = db.VSSItem(GetParam().spec);
        EXPECT_EQ(item.Spec(), GetParam().found);
    } catch (const VssError& error) {
        EXPECT_EQ(GetParam().found, "") << error.what();
        EXPECT_EQ(error.code(), ESS_ITEM_NOT_FOUND) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Specs, SpecInput,
    testing::Values(SpecCase{"Plain", "$/a/b", "$/a/b"},
                    SpecCase{"LetterCaseDiffers", "$/A/B/C.TXT", "$/a/b/c.txt"},
                    SpecCase{"DollarAlone", "$", "$/"},
                    SpecCase{"RepeatedSlashes", "$//a///b/", "$/a/b"},
                    SpecCase{"DotDot", "$/a/../b", ""},
                    SpecCase{"DotDotAtTheRoot", "$/../../etc/passwd", ""},
                    SpecCase{"Dot", "$/a/./b", ""}, SpecCase{"DotAlone", "$/.", ""},
                    SpecCase{"Backslash", "$\\a", ""}, SpecCase{"BackslashInside", "$/a\\b", ""},
                    SpecCase{"Empty", "", ""}, SpecCase{"WithoutDollar", "a/b", ""},
                    SpecCase{"AbsolutePath", "/a/b", ""}, SpecCase{"BelowAFile", "$/top.txt/x", ""},
                    SpecCase{"NulInside", std::string("$/a\0/b", 6), ""},
                    SpecCase{"InvalidUtf8", "$/a\xFF\xFE", ""},
                    SpecCase{"VeryLongName", "$/" + std::string(100000, 'x'), ""},
                    SpecCase{"VeryDeep",
                             [] {
                                 std::string spec = "$";
                                 for (int i = 0; i < 50000; ++i) {
                                     spec += "/a";
                                 }
                                 return spec;
                             }(),
                             ""}),
    [](const testing::TestParamInfo<SpecCase>& info) { return info.param.name; });

}  // namespace
