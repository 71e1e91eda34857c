// The stock-taking report of varnotte-csv --report, written after the walk has counted.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "export/output_file_writer.h"
#include "report/content_tally.h"
#include "report/report_html.h"
#include "report/report_tally.h"
#include "sourcesafe/vss_database.h"

namespace varnotte::cli {

// Writes the report into `writer`, which is open on the report's file; `content` is what
// rebuilding the files found, when they were rebuilt.
bool WriteReport(const Options& options, const sourcesafe::IVSSDatabase& database,
                 const std::string& spec, const ReportTally& tally,
                 std::vector<UnreadableItem> unreadable, const ContentReportFacts* content,
                 OutputFileWriter& writer);

}  // namespace varnotte::cli
