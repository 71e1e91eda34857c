#include "cli/report_output.h"

#include <utility>

#include "report/report_page.h"

namespace varnotte::cli {

bool WriteReport(const Options& options, const sourcesafe::IVSSDatabase& database,
                 const std::string& spec, const ReportTally& tally,
                 std::vector<UnreadableItem> unreadable, const ContentReportFacts* content,
                 OutputFileWriter& writer) {
    const ReportSource source{options.iniPath.toStdString(), spec, options.checkContent,
                              options.reportLanguage};
    return writer.WriteUtf8Line(
        ReportPage(database, source, tally, std::move(unreadable), content));
}

}  // namespace varnotte::cli
