#include "export/database_files.h"

#include <QByteArray>
#include <QFile>

#include <system_error>
#include <utility>

#include "export/utf8_text.h"
#include "sourcesafe/vss_database.h"

namespace varnotte {
namespace {

namespace fs = std::filesystem;

// Enough for any real chain of links; a longer one is a loop.
constexpr int kMaxLinks = 40;

// Where writing `target` lands: symbolic links followed, dangling ones too (writing through
// one creates its target), and the folder made canonical. Empty when that folder is
// missing, as then nothing can be written anyway.
fs::path Destination(const fs::path& target) {
    std::error_code error;
    fs::path path = fs::absolute(target, error);
    if (error) {
        return {};
    }
    for (int hops = 0; hops < kMaxLinks && fs::is_symlink(fs::symlink_status(path, error));
         ++hops) {
        const fs::path link = fs::read_symlink(path, error);
        if (error) {
            break;
        }
        path = path.parent_path() / link;  // an absolute link replaces the whole path
    }
    if (fs::exists(path, error)) {
        const fs::path canonical = fs::canonical(path, error);
        return error ? fs::path() : canonical;
    }
    const fs::path folder = fs::canonical(path.parent_path(), error);
    return error ? fs::path() : folder / path.filename();
}

// Empty for an empty path, and when the file is missing.
fs::path Canonical(const fs::path& path) {
    std::error_code error;
    fs::path canonical = path.empty() ? fs::path() : fs::canonical(path, error);
    return error ? fs::path() : canonical;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return !b.empty() && fs::equivalent(a, b, error);
}

// Whether `path` is `folder` or lies below it. Told by the files themselves (device and
// inode), so that another spelling of the same folder counts too: a case-insensitive
// mount of the Windows share, a second mount of it.
bool IsAtOrBelow(const fs::path& path, const fs::path& folder) {
    if (folder.empty()) {
        return false;
    }
    for (fs::path at = path;; at = at.parent_path()) {
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
    return DatabaseFiles{database.SrcSafeIni(), database.DataFolder(), database.UsersFolder(),
                         database.UsersList()};
}

TargetInDatabase FindTargetInDatabase(const QString& target, const DatabaseFiles& database) {
    // The bytes Qt opens `target` by.
    const fs::path destination = Destination(QFile::encodeName(target).toStdString());
    if (destination.empty()) {
        return {};
    }
    const auto isFile = [&destination](const fs::path& path) {
        const fs::path file = Canonical(path);
        return !file.empty() && (destination == file || SameFile(destination, file));
    };
    if (isFile(database.iniPath)) {
        return {DatabasePart::kIni, {}};
    }
    if (isFile(database.usersList)) {
        return {DatabasePart::kUsersList, {}};
    }
    for (const auto& [part, path] : {std::pair{DatabasePart::kDataFolder, database.dataFolder},
                                     std::pair{DatabasePart::kUsersFolder, database.usersFolder}}) {
        const fs::path folder = Canonical(path);
        if (IsAtOrBelow(destination, folder)) {
            return {part, QString::fromStdString(PrintableText(folder.native()))};
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
