// The bytes of each row in the file: well-formed UTF-8 as it is, and every byte that is not
// part of a well-formed character replaced by U+FFFD (EF BF BD), one for each byte, as Qt
// converts; every LF becomes CR LF, and CR LF ends the row.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "export/content_facts.h"
#include "export/csv_rows.h"
#include "export/json_lines_format.h"
#include "export/output_file_writer.h"
#include "sourcesafe/automation_date.h"
#include "tests/support/case_names.h"

namespace {

struct LineCase {
    std::string name;
    std::string row;
    std::string bytes;
};

class CsvLineBytes : public testing::TestWithParam<LineCase> {};

TEST_P(CsvLineBytes, AreTheRowInUtf8) {
    QByteArray out("earlier row\r\n");
    varnotte::AppendCsvLine(out, GetParam().row);
    EXPECT_EQ(out.toStdString(), "earlier row\r\n" + GetParam().bytes);
}

const std::string kReplacement = "\xEF\xBF\xBD";

// Every character JSON must escape, a NUL among them.
constexpr char kControls[] = "back\\slash, tab\t, CR LF\r\n, NUL \0, bell \x07, US \x1F, DEL \x7F";
constexpr char kControlsInCsv[] =
    "back\\slash, tab\t, CR LF\r\r\n, NUL \0, bell \x07, US \x1F, DEL \x7F\r\n";

const std::vector<LineCase> kLines = {
    LineCase{"Ascii", "\"plain\",\"long enough to be read eight bytes at a time\"",
             "\"plain\",\"long enough to be read eight bytes at a time\"\r\n"},
    LineCase{"JapaneseAccentsEmojiAndALineFeed",
             "\"日本語\",\"Résumé\",\"emoji \xF0\x9F\x98\x80\"\n\"next line\"",
             "\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\",\"R\xC3\xA9sum\xC3\xA9\",\"emoji "
             "\xF0\x9F\x98\x80\"\r\n\"next line\"\r\n"},
    LineCase{"ReplacementCharacterKept", "\"\xEF\xBF\xBD already replaced\"",
             "\"" + kReplacement + " already replaced\"\r\n"},
    LineCase{"EndsInALineFeed", "ends in a line feed\n", "ends in a line feed\r\n\r\n"},
    LineCase{"CarriageReturnKept", "a \r alone", "a \r alone\r\n"},
    LineCase{"LoneFF", "lone \xFF byte", "lone " + kReplacement + " byte\r\n"},
    LineCase{"IllFormedThenLineFeed", "\xFF\nx", kReplacement + "\r\nx\r\n"},
    LineCase{"OverlongSlash", "overlong \xC0\x80 slash",
             "overlong " + kReplacement + kReplacement + " slash\r\n"},
    LineCase{"SurrogateHalf", "surrogate \xED\xA0\x80 half",
             "surrogate " + kReplacement + kReplacement + kReplacement + " half\r\n"},
    LineCase{"BeyondU10FFFF", "beyond \xF4\x90\x80\x80 end",
             "beyond " + kReplacement + kReplacement + kReplacement + kReplacement + " end\r\n"},
    LineCase{"CutShort", "cut short \xE3\x81", "cut short " + kReplacement + kReplacement + "\r\n"},
    LineCase{"CutShortBeforeText", "\xE3\x81x", kReplacement + kReplacement + "x\r\n"},
    LineCase{"StrayContinuations", "stray \x80\x80 bytes",
             "stray " + kReplacement + kReplacement + " bytes\r\n"},
    LineCase{"OneCharacter", "\xE3\x81\x82", "\xE3\x81\x82\r\n"},
    LineCase{"Empty", "", "\r\n"},
    LineCase{"ControlCharacters", std::string(kControls, sizeof kControls - 1),
             std::string(kControlsInCsv, sizeof kControlsInCsv - 1)},
};

INSTANTIATE_TEST_SUITE_P(Rows, CsvLineBytes, testing::ValuesIn(kLines), varnotte::test::CaseName());

// A JSON reader gets back what Qt makes of the text.
class JsonStringText : public testing::TestWithParam<LineCase> {};

TEST_P(JsonStringText, ParsesBackToWhatQtReads) {
    const std::string& text = GetParam().row;
    const std::string json = "{\"v\":" + varnotte::JsonString(text) + "}";
    EXPECT_EQ(json.find('\n'), std::string::npos);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    EXPECT_EQ(document.object()["v"].toString(),
              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

INSTANTIATE_TEST_SUITE_P(Texts, JsonStringText, testing::ValuesIn(kLines),
                         varnotte::test::CaseName());

// What a version's bytes are taken for when the database stores no file type.
TEST(ContentType, IsWhatTheBytesShow) {
    const std::pair<std::string, std::string_view> cases[] = {
        {"", "text"},
        {"int main() {}\r\n\x1A", "text"},         // DOS text ends in Ctrl-Z
        {"\x93\xfa\x96\x7b\x8c\xea\r\n", "text"},  // Shift-JIS, not UTF-8
        {"caf\xc3\xa9\n", "utf-8"},
        {"\xEF\xBB\xBF"
         "ascii",
         "utf-8"},
        {std::string("\xFF\xFEh\0i\0", 6), "utf-16"},
        {std::string("GIF89a\0\x01", 8), "binary"},
        {"\x89PNG\r\n\x1A\n\x02\x03", "binary"},  // no NUL, but control bytes text lacks
        {"\x93\xfa\x01", "binary"},               // neither UTF-8 nor text
        {"caf\xc3\xa9\x01", "utf-8"},             // valid UTF-8 says so before control bytes count
    };
    for (const auto& [bytes, type] : cases) {
        EXPECT_EQ(varnotte::ContentTypeOf(bytes), type)
            << QByteArray::fromStdString(bytes).toHex().toStdString();
    }
}

TEST(CsvField, DoublesEveryQuoteWhereverItStands) {
    EXPECT_EQ(varnotte::CsvField("\""), "\"\"\"\"");
    EXPECT_EQ(varnotte::CsvField("\"\"x\""), "\"\"\"\"\"x\"\"\"");
}

// Automation dates worked out by hand from their definition: whole days after 30 December
// 1899 (before it for negative dates), the fraction's size the time of day, rounded to the
// second; years of other than four digits as printf's %04d writes them.
TEST(AutomationDate, IsTheCalendarDateAndTime) {
    using sourcesafe::AutomationDateFromStoredTime;
    using sourcesafe::FormatAutomationDate;
    const std::pair<double, const char*> dates[] = {
        {0.0, "1899/12/30 00:00:00"},
        {0.99999, "1899/12/30 23:59:59"},
        {0.999999, "1899/12/31 00:00:00"},  // 86399.91 s round up to the next day
        {1.5, "1899/12/31 12:00:00"},
        {36526.25, "2000/01/01 06:00:00"},
        {-0.5, "1899/12/30 12:00:00"},
        {-1.25, "1899/12/29 06:00:00"},
        {-1.999999, "1899/12/30 00:00:00"},  // 29 December, 23:59:59.91
        {-693593.0, "0001/01/01 00:00:00"},
        {-693594.0, "0000/12/31 00:00:00"},
        {-700000.5, "-017/06/18 12:00:00"},
        {-1e7, "-25480/12/04 00:00:00"},
        {2958465.9999, "9999/12/31 23:59:51"},
        {2958466.0, "10000/01/01 00:00:00"},
        {1e7, "29279/01/24 00:00:00"},
        {AutomationDateFromStoredTime(0), "1970/01/01 00:00:00"},
        {AutomationDateFromStoredTime(1136116800), "2006/01/01 12:00:00"},
        {AutomationDateFromStoredTime(4294967295u), "2106/02/07 06:28:15"},
    };
    for (const auto& [date, text] : dates) {
        EXPECT_EQ(FormatAutomationDate(date), text) << date;
        // ISO 8601, the same fields.
        std::string iso = text;
        std::replace(iso.begin() + 1, iso.end(), '/', '-');
        std::replace(iso.begin(), iso.end(), ' ', 'T');
        EXPECT_EQ(sourcesafe::FormatAutomationDateIso(date), iso) << date;
        // Back from the calendar to the same second.
        EXPECT_EQ(sourcesafe::FormatAutomationDateIso(sourcesafe::AutomationDateFromCivilTime(
                      sourcesafe::CivilTimeFromAutomationDate(date))),
                  iso)
            << date;
    }
}

}  // namespace
