// The wide CSV: a header row, then one row per item and per version with every fact the
// JSON Lines format has, one column each, for a spreadsheet. Item rows leave the version
// columns empty and the reverse; lists (several checkouts, the places of a shared file)
// put one value per line inside their cell. Columns are described in
// docs/export-formats.md.
#pragma once

#include <string>

#include "export/export_records.h"
#include "export/row_format.h"

namespace varnotte {

class WideCsvFormat : public RowFormat {
  public:
    // ISO dates carry their UTC offset in `zone` when it is given.
    explicit WideCsvFormat(DateStyle dates = DateStyle::kClassic,
                           const sourcesafe::TimeZone* zone = nullptr)
        : dates_(dates), zone_(zone) {}

    // The names of the columns, as the first row of the file.
    static std::string HeaderRow();

    std::string ItemRow(const sourcesafe::IVSSItem& item) override;
    std::string VersionRow(const sourcesafe::IVSSItem& item,
                           const sourcesafe::IVSSVersion& version) override;

  private:
    DateStyle dates_;
    const sourcesafe::TimeZone* zone_;
    // The item columns of the item seen last, the same in each of its version rows.
    ItemMemo versionItem_;
    std::string_view itemType_;
    std::string itemSpec_;
    std::string itemName_;
    std::string itemPhysical_;
    std::string_view itemDeleted_;
};

}  // namespace varnotte
