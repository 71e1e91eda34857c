#include "tree/open_progress.h"

#include <QDir>
#include <QLocale>

#include <algorithm>

namespace varnotte {

QString OpeningStatusText(const QString& iniPath) {
    return QStringLiteral("データベースを開いています: %1").arg(QDir::toNativeSeparators(iniPath));
}

QString CensusStatusText(std::size_t logsDone, std::size_t logsInFolder) {
    const QLocale locale;
    // The folder's count is an estimate: logs of items no project references are never
    // read, and a log added meanwhile may be read beyond it.
    return QStringLiteral("文字コードを調べています: %1 / %2")
        .arg(locale.toString(static_cast<qulonglong>(logsDone)),
             locale.toString(static_cast<qulonglong>(std::max(logsDone, logsInFolder))));
}

}  // namespace varnotte
