#include "export/database_files.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>
#include <utility>

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
                         QString::fromStdString(database.DataFolder()),
                         QString::fromStdString(database.UsersFolder()),
                         QString::fromStdString(database.UsersList())};
}

TargetInDatabase FindTargetInDatabase(const QString& target, const DatabaseFiles& database) {
    const QString destination = Destination(target);
    if (destination.isEmpty()) {
        return {};
    }
    const auto isFile = [&destination](const QString& path) {
        const QString file = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
        return !file.isEmpty() &&
               (destination == file || SameFile(destination.toStdString(), file));
    };
    if (isFile(database.iniPath)) {
        return {DatabasePart::kIni, {}};
    }
    if (isFile(database.usersList)) {
        return {DatabasePart::kUsersList, {}};
    }
    for (const auto& [part, path] : {std::pair{DatabasePart::kDataFolder, database.dataFolder},
                                     std::pair{DatabasePart::kUsersFolder, database.usersFolder}}) {
        const QString folder = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
        if (IsAtOrBelow(destination, folder)) {
            return {part, folder};
        }
    }
    return {};
}

QString DescribeTargetInDatabase(const QString& target, const TargetInDatabase& found) {
    QString what;
    switch (found.part) {
        case DatabasePart::kNone:
            return {};
        case DatabasePart::kIni:
            what = QStringLiteral("is the database's srcsafe.ini");
            break;
        case DatabasePart::kUsersList:
            what = QStringLiteral("is the database's list of users");
            break;
        case DatabasePart::kDataFolder:
            what = QStringLiteral("is in the database's data folder %1").arg(found.folder);
            break;
        case DatabasePart::kUsersFolder:
            what = QStringLiteral("is in the database's users folder %1").arg(found.folder);
            break;
    }
    return QStringLiteral(
               "%1 %2; an export never writes into the SourceSafe database it reads. Choose "
               "another place.")
        .arg(target, what);
}

QString WhyTargetIsInDatabase(const QString& target, const DatabaseFiles& database) {
    return DescribeTargetInDatabase(target, FindTargetInDatabase(target, database));
}

}  // namespace varnotte
