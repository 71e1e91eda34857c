// The rows of the CSV export, built from automation objects.
//
// Every field is enclosed in double quotes and separated by ","; a double quote inside a
// value is doubled, so that every CSV reader gets the value back. Rows carry no line end;
// line feeds inside values stay LF until the file writer turns them into CR LF.
#pragma once

#include <string>
#include <string_view>

#include "sourcesafe/vss_item.h"
#include "sourcesafe/vss_version.h"

namespace varnotte {

// "value" with every " doubled.
std::string CsvField(std::string_view value);

// "spec","version" of a project or file.
std::string ItemRow(const sourcesafe::IVSSItem& item);

// "spec","version","user","action","date","comment" of one version of a file.
std::string VersionRow(const sourcesafe::IVSSItem& file, const sourcesafe::IVSSVersion& version);

}  // namespace varnotte
