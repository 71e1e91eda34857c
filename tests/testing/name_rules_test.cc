#include "testing/name_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vsstest {
namespace {

struct NameCase {
    std::string name;
    std::string shortField;
    bool dosName;
    std::string firstAlias;  // "" when the file needs none
};

// Expected values follow what real databases store (New_Text_Document.txt, New_Te~1.txt,
// idea for .idea, clingB~1.txt, the 33-byte cut).
TEST(NameRulesTest, ShortFieldAndAliasFollowSourceSafe) {
    const std::vector<NameCase> cases = {
        {"Le.txt", "Le.txt", true, ""},
        {"README", "README", true, ""},
        {"clingBling.txt", "clingBling.txt", false, "clingB~1.txt"},
        {"New Text Document.txt", "New_Text_Document.txt", false, "New_Te~1.txt"},
        {".idea", "idea", false, "idea~1"},
        {"..hidden.cfg", "hidden.cfg", false, "hidden~1.cfg"},
        {"SN Activities or Meetings until now.pdf", "SN_Activities_or_Meetings_until_n", false,
         "SN_Act~1.pdf"},
        {"a.b.c", "a.b.c", false, "ab~1.c"},
        {"x+y.h", "x+y.h", false, "x_y~1.h"},
        {"archive.tar.gz", "archive.tar.gz", false, "archiv~1.gz"},
        {"noext.", "noext.", false, "noext~1"},
        // Shift-JIS bytes stay bytes; a 0x20 never occurs inside a double-byte character.
        {"\x83\x65\x83\x58\x83\x67.txt", "\x83\x65\x83\x58\x83\x67.txt", true, ""},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShortNameField(c.name), c.shortField);
        EXPECT_EQ(IsDosName(c.name), c.dosName);
        if (!c.firstAlias.empty()) {
            EXPECT_EQ(DosAlias(DosAliasPartsOf(c.name), 1), c.firstAlias);
        }
    }
}

TEST(NameRulesTest, ShortFieldIsCutTo33Bytes) {
    const std::string name(40, 'x');
    EXPECT_EQ(ShortNameField(name), std::string(33, 'x'));
}

TEST(NameRulesTest, LargerAliasNumbersShortenTheStem) {
    const DosAliasParts parts = DosAliasPartsOf("Inventory Shaili.vssscc");
    EXPECT_EQ(DosAlias(parts, 2), "Invent~2.vss");
    EXPECT_EQ(DosAlias(parts, 10), "Inven~10.vss");
    EXPECT_EQ(DosAlias(parts, 100), "Inve~100.vss");
}

TEST(NameRulesTest, MacNameKeepsTheExtensionWithin31Bytes) {
    EXPECT_EQ(MacName("Inventory Shaili.sln"), "Inventory Shaili.sln");
    EXPECT_EQ(MacName("SN Activities or Meetings until now.pdf"),
              "SN Activities or Meetings~1.pdf");
    EXPECT_EQ(MacName(std::string(40, 'n')), std::string(29, 'n') + "~1");
    EXPECT_EQ(MacName("x" + std::string(35, 'y') + ".z"), "x" + std::string(26, 'y') + "~1.z");
}

TEST(NameRulesTest, SortOrderFoldsToLowerCase) {
    // The order of a real child list: '_' (from a space) sorts between '.' and letters.
    std::vector<std::string> names = {"ReadmeA.txt", "Readme_First.txt", "readme.txt", "Resource.h",
                                      "res"};
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    EXPECT_EQ(names, (std::vector<std::string>{"readme.txt", "Readme_First.txt", "ReadmeA.txt",
                                               "res", "Resource.h"}));
    EXPECT_FALSE(LessIgnoringCase("ABC", "abc"));
    EXPECT_FALSE(LessIgnoringCase("abc", "ABC"));
    // Bytes >= 0x80 sort after ASCII, unsigned.
    EXPECT_TRUE(LessIgnoringCase("z", "\x83\x65"));
}

TEST(NameRulesTest, PhysicalNamesCountWithTheFirstLetterFastest) {
    const std::vector<std::pair<std::uint32_t, std::string>> cases = {
        {0, "AAAAAAAA"},  {1, "BAAAAAAA"},   {25, "ZAAAAAAA"},  {26, "ABAAAAAA"},
        {27, "BBAAAAAA"}, {675, "ZZAAAAAA"}, {676, "AABAAAAA"}, {26 * 26 * 26 + 1, "BAABAAAA"},
    };
    for (const auto& [index, name] : cases) {
        EXPECT_EQ(PhysicalNameAt(index), name) << index;
    }
}

}  // namespace
}  // namespace vsstest
