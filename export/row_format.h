// What the walk turns items and versions into: the rows of one output format.
//
// The walk asks for every row of an item before it hands any to its host, so a format
// never sees half of a file that fails. An empty row is dropped.
#pragma once

#include <string>

#include "sourcesafe/time_zone.h"
#include "sourcesafe/vss_item.h"
#include "sourcesafe/vss_version.h"

namespace varnotte {

class RowFormat {
  public:
    virtual ~RowFormat() = default;

    // The row of a project or file.
    virtual std::string ItemRow(const sourcesafe::IVSSItem& item) = 0;
    // The row of one version of `item` (a file, or with project history a project).
    virtual std::string VersionRow(const sourcesafe::IVSSItem& item,
                                   const sourcesafe::IVSSVersion& version) = 0;
};

// How the CSV formats write dates: "2007/03/05 14:07:09" or "2007-03-05T14:07:09".
enum class DateStyle { kClassic, kIso };

// An ISO date carries its UTC offset when `zone` (the database's, see
// IVSSDatabase::TimeZone) is given; the classic form never does.
std::string FormatDate(double automationDate, DateStyle style,
                       const sourcesafe::TimeZone* zone = nullptr);

}  // namespace varnotte
