#include "report/report_page.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>

#include <utility>

namespace varnotte {
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

std::string ReportPage(const sourcesafe::IVSSDatabase& database, const ReportSource& source,
                       const ReportTally& tally, std::vector<UnreadableItem> unreadable,
                       const ContentReportFacts* content) {
    ReportContext context;
    context.iniPath =
        QFileInfo(QString::fromStdString(source.iniPath)).absoluteFilePath().toStdString();
    context.dataFolder = database.DataFolder();
    context.spec = source.spec;
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
    context.contentChecked = source.contentChecked;
    context.content = content;
    return ReportHtml(tally.facts(), context, source.language);
}

}  // namespace varnotte
