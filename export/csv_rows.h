// The rows of the CSV export, built from automation objects.
//
// Every field is enclosed in double quotes and separated by ","; a double quote inside a
// value is doubled, so that every CSV reader gets the value back. Rows carry no line end;
// line feeds inside values stay LF until the file writer turns them into CR LF.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "export/row_format.h"
#include "sourcesafe/vss_item.h"
#include "sourcesafe/vss_version.h"

namespace varnotte {

// "value" with every " doubled.
std::string CsvField(std::string_view value);

// The values as one row of such fields.
std::string CsvRow(std::span<const std::string_view> values);

// "spec","version" of a project or file.
std::string ItemRow(const sourcesafe::IVSSItem& item);

// "spec","version","user","action","date","comment" of one version of a file.
std::string VersionRow(const sourcesafe::IVSSItem& file, const sourcesafe::IVSSVersion& version);

// The rows above: what the desktop program and varnotte-csv write by default. Each option
// left off keeps them byte for byte; ISO dates change only the date field, and the deleted
// column adds a last field to every row, "deleted" for a deleted item and its versions,
// else empty.
class DefaultCsvFormat : public RowFormat {
  public:
    struct Options {
        DateStyle dates = DateStyle::kClassic;
        const sourcesafe::TimeZone* timeZone = nullptr;  // ISO dates: their UTC offset in it
        bool deletedColumn = false;
    };
    DefaultCsvFormat() = default;
    explicit DefaultCsvFormat(Options options) : options_(options) {}

    std::string ItemRow(const sourcesafe::IVSSItem& item) override;
    std::string VersionRow(const sourcesafe::IVSSItem& item,
                           const sourcesafe::IVSSVersion& version) override;

  private:
    std::string WithDeletedColumn(std::string row, const sourcesafe::IVSSItem& item) const;

    Options options_;
};

}  // namespace varnotte
