// Keeping an export off the database it reads.
//
// A save path may name a file of the database itself: its srcsafe.ini, a log in its data
// folder, a user's ss.ini, or a link to one. Writing there would destroy what is being
// exported, so both the dialog and varnotte-csv refuse such a target before they write
// anything. Other files that merely sit beside srcsafe.ini are the user's own.
#pragma once

#include <QString>

#include <filesystem>

namespace sourcesafe {
class IVSSDatabase;
}

namespace varnotte {

// As the reader opened them: bytes, which need not be UTF-8 (a folder from an old server
// may be named in its code page), so that no spelling of them slips past the checks.
struct DatabaseFiles {
    std::filesystem::path iniPath;
    std::filesystem::path dataFolder;
    std::filesystem::path usersFolder;  // empty when srcsafe.ini names none that exists here
    std::filesystem::path usersList;    // users.txt; empty likewise
};

// The files of an open database, as its srcsafe.ini names them.
DatabaseFiles FilesOf(const sourcesafe::IVSSDatabase& database);

// Which of the database's files a target is.
enum class DatabasePart {
    kNone,
    kIni,          // srcsafe.ini
    kDataFolder,   // anything in the data folder (um.dat, names.dat, the logs, ...)
    kUsersFolder,  // anything in the users' folder
    kUsersList,    // users.txt
};

struct TargetInDatabase {
    DatabasePart part = DatabasePart::kNone;
    QString folder;  // the data or users' folder, for those parts, shown as in messages

    explicit operator bool() const { return part != DatabasePart::kNone; }
};

// Where writing `target` (as Qt opens it) would change `database`. Symbolic links are followed,
// dangling ones too, and folders are told apart by device and inode, so a second mount or a
// case-insensitive mount of the database counts as the database.
TargetInDatabase FindTargetInDatabase(const QString& target, const DatabaseFiles& database);

// The same in words, for varnotte-csv and logs: empty when the target is not the
// database's.
QString WhyTargetIsInDatabase(const QString& target, const DatabaseFiles& database);
QString DescribeTargetInDatabase(const QString& target, const TargetInDatabase& found);

}  // namespace varnotte
