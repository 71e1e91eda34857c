#include "tests/support/csv_parse.h"

#include <stdexcept>

namespace varnotte::test {

std::vector<CsvRecord> ParseCsv(std::string_view text) {
    std::vector<CsvRecord> records;
    std::size_t i = 0;
    const auto fail = [&](const std::string& what) {
        throw std::runtime_error("CSV broken at byte " + std::to_string(i) + ": " + what);
    };
    while (i < text.size()) {
        CsvRecord record;
        for (;;) {
            if (i >= text.size() || text[i] != '"') {
                fail("field does not start with a quote");
            }
            ++i;
            std::string field;
            for (;;) {
                if (i >= text.size()) {
                    fail("unterminated field");
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            record.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.substr(i, 2) == "\r\n") {
                i += 2;
                break;
            }
            fail("field not followed by a comma or CR LF");
        }
        records.push_back(std::move(record));
    }
    return records;
}

CsvRecord ParseCsvRow(std::string_view row) {
    std::vector<CsvRecord> records = ParseCsv(std::string(row) + "\r\n");
    if (records.size() != 1) {
        throw std::runtime_error("not one row");
    }
    return records.front();
}

}  // namespace varnotte::test
