#include "tree/csv_rows.h"

#include <initializer_list>

#include "sourcesafe/automation_date.h"

namespace varnotte {
namespace {

std::string JoinFields(std::initializer_list<std::string_view> values) {
    std::string row;
    for (const std::string_view value : values) {
        if (!row.empty()) {
            row += ',';
        }
        row += CsvField(value);
    }
    return row;
}

}  // namespace

std::string CsvField(std::string_view value) {
    std::string field;
    field.reserve(value.size() + 2);
    field += '"';
    for (const char c : value) {
        if (c == '"') {
            field += '"';
        }
        field += c;
    }
    field += '"';
    return field;
}

std::string ItemRow(const sourcesafe::IVSSItem& item) {
    return JoinFields({item.Spec(), std::to_string(item.VersionNumber())});
}

std::string VersionRow(const sourcesafe::IVSSItem& file, const sourcesafe::IVSSVersion& version) {
    return JoinFields({file.Spec(), std::to_string(version.VersionNumber()), version.Username(),
                       version.Action(), sourcesafe::FormatAutomationDate(version.Date()),
                       version.Comment()});
}

}  // namespace varnotte
