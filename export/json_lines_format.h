// JSON Lines: one JSON object per item and per version, in the walk's order, as UTF-8
// text with no line break inside an object. Dates are ISO 8601 without a zone: the wall
// clock SourceSafe stored. Every field is described in docs/export-formats.md.
#pragma once

#include <string>

#include "export/content_facts.h"
#include "export/export_records.h"
#include "export/row_format.h"

namespace varnotte {

class JsonLinesFormat : public RowFormat {
  public:
    struct Options {
        bool deletedField = false;  // "deleted" on every object (with deleted items)
        // Dates carry their UTC offset in it, when the database names its zone.
        const sourcesafe::TimeZone* timeZone = nullptr;
        // With it, files and their versions carry their content facts (--check-content).
        ContentFactsCache* content = nullptr;
    };
    JsonLinesFormat() = default;
    explicit JsonLinesFormat(Options options) : options_(options) {}

    std::string ItemRow(const sourcesafe::IVSSItem& item) override;
    std::string VersionRow(const sourcesafe::IVSSItem& item,
                           const sourcesafe::IVSSVersion& version) override;

  private:
    Options options_;
    // The members every version object of the item seen last begins with.
    ItemMemo versionItem_;
    std::string versionBegun_;
};

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 become U+FFFD, as
// Qt's conversion makes them.
std::string JsonString(std::string_view text);

}  // namespace varnotte
