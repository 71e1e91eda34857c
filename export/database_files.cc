#include "export/database_files.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#include "sourcesafe/vss_database.h"

namespace varnotte {
namespace {

// Enough for any real chain of links; a longer one is a loop.
constexpr int kMaxLinks = 40;

// Where writing `path` lands: symbolic links followed, dangling ones too (writing through
// one creates its target), and the folder made canonical. Empty when that folder is
// missing, as then nothing can be written anyway.
QString Destination(const QString& path) {
    QFileInfo info(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    for (int hops = 0; info.isSymLink() && hops < kMaxLinks; ++hops) {
        info = QFileInfo(info.symLinkTarget());
    }
    if (info.exists()) {
        return info.canonicalFilePath();
    }
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(info.fileName());
}

bool SameFile(const std::filesystem::path& a, const QString& b) {
    std::error_code error;
    return !b.isEmpty() && std::filesystem::equivalent(a, b.toStdString(), error);
}

// Whether `path` is `folder` or lies below it. Told by the files themselves (device and
// inode), so that another spelling of the same folder counts too: a case-insensitive
// mount of the Windows share, a second mount of it.
bool IsAtOrBelow(const QString& path, const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    for (std::filesystem::path at(path.toStdString());; at = at.parent_path()) {
        if (SameFile(at, folder)) {
            return true;
        }
        if (!at.has_relative_path()) {
            return false;
        }
    }
}

}  // namespace

DatabaseFiles FilesOf(const sourcesafe::IVSSDatabase& database) {
    return DatabaseFiles{QString::fromStdString(database.SrcSafeIni()),
                         QString::fromStdString(database.DataFolder())};
}

QString WhyTargetIsInDatabase(const QString& target, const DatabaseFiles& database) {
    const QString destination = Destination(target);
    if (destination.isEmpty()) {
        return {};
    }
    const QFileInfo ini(database.iniPath);
    const QString iniFile = ini.canonicalFilePath();
    const QString iniFolder = ini.absoluteDir().canonicalPath();
    const QString dataFolder = QFileInfo(database.dataFolder).canonicalFilePath();
    const auto refusal = [&](const QString& what) {
        return QStringLiteral(
                   "%1 %2; an export never writes into the SourceSafe database it "
                   "reads. Choose another place.")
            .arg(target, what);
    };
    if (!iniFile.isEmpty() &&
        (destination == iniFile || SameFile(destination.toStdString(), iniFile))) {
        return refusal(QStringLiteral("is the database's srcsafe.ini"));
    }
    if (IsAtOrBelow(destination, dataFolder)) {
        return refusal(QStringLiteral("is in the database's data folder %1").arg(dataFolder));
    }
    const bool earlierExport = destination.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    if (QFileInfo::exists(destination) && IsAtOrBelow(destination, iniFolder) && !earlierExport) {
        return refusal(QStringLiteral("is a file of the database in %1").arg(iniFolder));
    }
    return {};
}

}  // namespace varnotte
