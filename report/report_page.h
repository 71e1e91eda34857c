// The whole report page for a project, once a walk has counted into a tally: the same for
// varnotte-csv --report and the window's context menu.
#pragma once

#include <string>
#include <vector>

#include "report/content_tally.h"
#include "report/report_html.h"
#include "report/report_tally.h"
#include "report/report_texts.h"
#include "sourcesafe/vss_database.h"

namespace varnotte {

struct ReportSource {
    std::string iniPath;  // as the user named it; shown made absolute
    std::string spec;     // the project reported on
    bool contentChecked = false;
    ReportLanguage language = ReportLanguage::kJapanese;
};

// Measures the data folder, notes the time and the program's version, and makes the page.
// `content`: what the content check found, when `source.contentChecked`; else null.
std::string ReportPage(const sourcesafe::IVSSDatabase& database, const ReportSource& source,
                       const ReportTally& tally, std::vector<UnreadableItem> unreadable,
                       const ContentReportFacts* content = nullptr);

}  // namespace varnotte
