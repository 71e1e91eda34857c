#include "cli/report_output.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>

#include <utility>

namespace varnotte::cli {
namespace {

// What the data folder's files take, symbolic links not followed.
void MeasureFolder(const QString& folder, ReportContext& context) {
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        context.dataFolderBytes += files.fileInfo().size();
        ++context.dataFolderFiles;
    }
}

}  // namespace

bool WriteReport(const Options& options, const sourcesafe::IVSSDatabase& database,
                 const std::string& spec, const ReportTally& tally,
                 std::vector<UnreadableItem> unreadable, const ContentReportFacts* content,
                 OutputFileWriter& writer) {
    ReportContext context;
    context.iniPath = QFileInfo(options.iniPath).absoluteFilePath().toStdString();
    context.dataFolder = database.DataFolder();
    context.spec = spec;
    context.codePage = database.CodePage();
    context.codePageOrigin = database.GetCodePageOrigin();
    MeasureFolder(QString::fromStdString(context.dataFolder), context);
    context.writtenAt =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
    context.programVersion = VARNOTTE_VERSION;
    context.timeZone = database.Zone();
    context.timeZoneName = database.ZoneName();
    context.users = tally.users().Summaries(database.Users());
    context.usersListedTwice = UsersListedTwice(database.Users());
    context.unreadable = std::move(unreadable);
    context.contentChecked = options.checkContent;
    context.content = content;
    return writer.WriteUtf8Line(ReportHtml(tally.facts(), context, options.reportLanguage));
}

}  // namespace varnotte::cli
