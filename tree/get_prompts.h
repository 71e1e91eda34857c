// What the user is asked and told around "取得..." (files out of the database into a folder).
#pragma once

#include <QString>

#include <cstddef>
#include <utility>
#include <vector>

#include "export/database_files.h"
#include "export/tree_get.h"

class QWidget;

namespace varnotte {

// Asks for the folder to get into ("取得先のフォルダを選択", folders only). A folder where
// `name` (the item's, as the get writes it there) would be one of the database's files is
// refused, and the user asked again. Returns the folder chosen, or an empty string for
// Cancel.
QString AskGetFolder(QWidget* owner, const DatabaseFiles& database, const QString& name);

// Why an item was not written, in the window's words.
QString GetFailureText(const GetFailure& failure);

// What a get ended with: spec and reason of each item not written.
struct GetOutcome {
    QString folder;
    std::size_t filesWritten = 0;
    bool stopped = false;
    std::vector<std::pair<QString, QString>> failed;
    std::vector<QString> shortNames;  // files written under their stored short name
};

// "<n> 個のファイルを <folder> に取得しました。", whether it was stopped, and the first ten
// items that could not be written with their reasons.
QString GetOutcomeText(const GetOutcome& outcome);
// Shows it: a warning when anything was not written, else information.
void ShowGetOutcome(QWidget* owner, const GetOutcome& outcome);

}  // namespace varnotte
