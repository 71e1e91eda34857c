#include "export/csv_rows.h"

#include <initializer_list>

#include "sourcesafe/automation_date.h"

namespace varnotte {
namespace {

void AppendCsvField(std::string& row, std::string_view value) {
    row += '"';
    std::size_t start = 0;
    for (std::size_t quote = value.find('"'); quote != std::string_view::npos;
         quote = value.find('"', start)) {
        row.append(value.data() + start, quote + 1 - start);
        row += '"';
        start = quote + 1;
    }
    row.append(value.data() + start, value.size() - start);
    row += '"';
}

std::string JoinFields(std::initializer_list<std::string_view> values) {
    return CsvRow(std::span<const std::string_view>(values.begin(), values.size()));
}

}  // namespace

std::string CsvRow(std::span<const std::string_view> values) {
    // Most values hold no quote, so this is the final size or close to it.
    std::size_t size = values.size() * 3;
    for (const std::string_view value : values) {
        size += value.size();
    }
    std::string row;
    row.reserve(size);
    for (const std::string_view value : values) {
        if (!row.empty()) {
            row += ',';
        }
        AppendCsvField(row, value);
    }
    return row;
}

std::string CsvField(std::string_view value) {
    std::string field;
    field.reserve(value.size() + 2);
    AppendCsvField(field, value);
    return field;
}

std::string ItemRow(const sourcesafe::IVSSItem& item) {
    return JoinFields({item.Spec(), std::to_string(item.VersionNumber())});
}

std::string FormatDate(double automationDate, DateStyle style, const sourcesafe::TimeZone* zone) {
    return style == DateStyle::kIso ? sourcesafe::FormatAutomationDateIso(automationDate, zone)
                                    : sourcesafe::FormatAutomationDate(automationDate);
}

namespace {

std::string DatedVersionRow(const sourcesafe::IVSSItem& item,
                            const sourcesafe::IVSSVersion& version, DateStyle dates,
                            const sourcesafe::TimeZone* zone) {
    return JoinFields({item.Spec(), std::to_string(version.VersionNumber()), version.Username(),
                       version.Action(), FormatDate(version.Date(), dates, zone),
                       version.Comment()});
}

}  // namespace

std::string VersionRow(const sourcesafe::IVSSItem& file, const sourcesafe::IVSSVersion& version) {
    return DatedVersionRow(file, version, DateStyle::kClassic, nullptr);
}

std::string DefaultCsvFormat::WithDeletedColumn(std::string row,
                                                const sourcesafe::IVSSItem& item) const {
    if (options_.deletedColumn) {
        row += item.Deleted() ? ",\"deleted\"" : ",\"\"";
    }
    return row;
}

std::string DefaultCsvFormat::ItemRow(const sourcesafe::IVSSItem& item) {
    return WithDeletedColumn(varnotte::ItemRow(item), item);
}

std::string DefaultCsvFormat::VersionRow(const sourcesafe::IVSSItem& item,
                                         const sourcesafe::IVSSVersion& version) {
    return WithDeletedColumn(DatedVersionRow(item, version, options_.dates, options_.timeZone),
                             item);
}

}  // namespace varnotte
