// The stock-taking report of varnotte-csv --report, written after the walk has counted.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "export/csv_file_writer.h"
#include "export/report_html.h"
#include "export/report_tally.h"
#include "sourcesafe/vss_database.h"

namespace varnotte::cli {

// Writes the report into `writer`, which is open on the report's file.
bool WriteReport(const Options& options, const sourcesafe::IVSSDatabase& database,
                 const std::string& spec, const ReportTally& tally,
                 std::vector<UnreadableItem> unreadable, CsvFileWriter& writer);

}  // namespace varnotte::cli
