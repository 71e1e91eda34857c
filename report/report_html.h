// The stock-taking report as one self-contained HTML file: inline CSS and SVG, no script
// to run and nothing to fetch, laid out for a screen and for A4 paper.
//
// Its numbers are also in a JSON block (<script type="application/json"
// id="report-data">, which no browser runs), for scripts and tests to read back.
#pragma once

#include <string>
#include <vector>

#include "export/user_tally.h"
#include "report/content_tally.h"
#include "report/report_tally.h"
#include "report/report_texts.h"
#include "sourcesafe/vss_database.h"

namespace varnotte {

// An item that could not be read, or one that is damaged but was exported all the same.
struct UnreadableItem {
    std::string spec;
    std::string reason;
    bool exported = false;
};

// What the report says beyond the walk's numbers.
struct ReportContext {
    std::string iniPath;
    std::string dataFolder;
    std::string spec;  // the project reported on
    int codePage = 0;
    sourcesafe::CodePageOrigin codePageOrigin = sourcesafe::CodePageOrigin::kGuessed;
    long long dataFolderBytes = 0;
    long long dataFolderFiles = 0;
    std::string writtenAt;  // "2026-12-07 18:00"
    std::string programVersion;
    const sourcesafe::TimeZone* timeZone = nullptr;  // the database's, when srcsafe.ini names one
    std::string timeZoneName;                        // as srcsafe.ini names it, decoded
    std::vector<UserSummary> users;                  // as the user tally sums them up
    std::vector<std::string> usersListedTwice;
    std::vector<UnreadableItem> unreadable;
    // Whether every version of every file was rebuilt (damaged content is in `unreadable`),
    // and what that found.
    bool contentChecked = false;
    const ContentReportFacts* content = nullptr;
};

std::string ReportHtml(const ReportFacts& facts, const ReportContext& context,
                       ReportLanguage language);

// The JSON block's object: the counts, and versions per month and per user.
std::string ReportDataJson(const ReportFacts& facts, const ReportContext& context);

}  // namespace varnotte
