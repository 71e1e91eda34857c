// An RFC 4180 reader for checking what the exporter wrote: records end with CR LF, every
// field is quoted, quotes inside are doubled, and line breaks inside quotes belong to the
// field. Throws std::runtime_error on anything else, so a broken record fails the test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnotte::test {

using CsvRecord = std::vector<std::string>;

std::vector<CsvRecord> ParseCsv(std::string_view text);

// One row as the exporter builds it, without its line end.
CsvRecord ParseCsvRow(std::string_view row);

}  // namespace varnotte::test
