// Keeping an export off the database it reads.
//
// A save path may name a file of the database itself: its srcsafe.ini, a log in its data
// folder, or a link to one. Writing there would destroy what is being exported, so both
// the dialog and varnotte-csv refuse such a target before they write anything.
#pragma once

#include <QString>

namespace sourcesafe {
class IVSSDatabase;
}

namespace varnotte {

struct DatabaseFiles {
    QString iniPath;
    QString dataFolder;
};

// The srcsafe.ini and data folder of an open database.
DatabaseFiles FilesOf(const sourcesafe::IVSSDatabase& database);

// Why writing `target` would change `database`, or an empty string when it would not.
// Refused, with symbolic links followed and folders told apart by device and inode (so a
// second mount or a case-insensitive mount of them counts): the srcsafe.ini; anything in
// the data folder;
// any existing file in the srcsafe.ini's folder or below it (users.txt, users/...), except
// a CSV file: SourceSafe writes none, so one there is an earlier export, which may be
// replaced. A new file beside srcsafe.ini changes nothing of the database and is allowed.
QString WhyTargetIsInDatabase(const QString& target, const DatabaseFiles& database);

}  // namespace varnotte
