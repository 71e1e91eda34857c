// Rows go to the file as they are when they are well-formed UTF-8, and through Qt's
// conversion otherwise: both ways must give the bytes the conversion alone would.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <cstdio>
#include <string>

#include "export/csv_file_writer.h"
#include "export/csv_rows.h"
#include "sourcesafe/automation_date.h"

namespace {

std::string ThroughQt(const std::string& row) {
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray encoded =
        encoder.encode(QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size())));
    std::string out;
    for (const char c : encoded.toStdString()) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out + "\r\n";
}

class CsvLineBytes : public testing::TestWithParam<std::string> {};

TEST_P(CsvLineBytes, AreWhatQtsConversionGives) {
    QByteArray out("earlier row\r\n");
    varnotte::AppendCsvLine(out, GetParam());
    EXPECT_EQ(out.toStdString(), "earlier row\r\n" + ThroughQt(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CsvLineBytes,
    testing::Values(
        std::string("\"plain\",\"ASCII long enough to be read eight bytes at a time\""),
        std::string("\"日本語\",\"Résumé\",\"emoji \xF0\x9F\x98\x80\"\n\"next line\""),
        std::string("\"\xEF\xBF\xBD already replaced\""), std::string("ends in a line feed\n"),
        std::string("lone \xFF byte"), std::string("overlong \xC0\x80 slash"),
        std::string("surrogate \xED\xA0\x80 half"), std::string("beyond \xF4\x90\x80\x80 U+10FFFF"),
        std::string("cut short \xE3\x81"), std::string("stray continuation \x80\x80 bytes"),
        std::string("\xE3\x81\x82"), std::string("")));

TEST(CsvField, DoublesEveryQuoteWhereverItStands) {
    EXPECT_EQ(varnotte::CsvField("\""), "\"\"\"\"");
    EXPECT_EQ(varnotte::CsvField("\"\"x\""), "\"\"\"\"\"x\"\"\"");
}

// Dates are written by hand for four-digit years; every year must look as printf made it.
TEST(AutomationDate, LooksAsPrintfWritesIt) {
    using namespace sourcesafe;
    EXPECT_EQ(FormatAutomationDate(AutomationDateFromStoredTime(1136116800)),
              "2006/01/01 12:00:00");
    EXPECT_EQ(FormatAutomationDate(AutomationDateFromStoredTime(4294967295u)),
              "2106/02/07 06:28:15");
    for (const double date : {0.0, 0.99999, 1.5, 36526.25, -1.25, -693593.0, -693594.0, -700000.5,
                              -1e7, 2958465.9999, 2958466.0, 1e7}) {
        const CivilTime t = CivilTimeFromAutomationDate(date);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month,
                      t.day, t.hour, t.minute, t.second);
        EXPECT_EQ(FormatAutomationDate(date), expected) << date;
    }
}

}  // namespace
