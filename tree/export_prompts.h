// What the user is asked and told around an export from the tree.
#pragma once

#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export/database_files.h"
#include "export/output_file_writer.h"

class QWidget;

namespace varnotte {

// Spec and reason of each item that could not be read.
using FailedItems = std::vector<std::pair<QString, QString>>;

// "このフォルダ下をCSVに出力しますか？" (OK, Cancel, no icon, caption "Varnotte"), owned by
// `owner`. Returns true for OK.
bool AskToExport(QWidget* owner);

// The warning shown before saving an export that misses items or holds damaged ones: how
// many of each, and the specs of the first ten.
QString UnreadableItemsText(const FailedItems& failed, const FailedItems& damaged = {});
void WarnUnreadableItems(QWidget* owner, const FailedItems& failed,
                         const FailedItems& damaged = {});

// Why a file could not be written, in Japanese (the system's own words, in parentheses,
// only for an uncommon failure).
QString WriteFailureText(const WriteError& error);

// That `path` is one of the database's own files and is not written.
QString DatabaseRefusalText(const QString& path, const TargetInDatabase& found);

// What the user is told when `path` could not be written: the path and the reason in
// Japanese (the system's own words, in parentheses, only for an uncommon failure), then
// the request to choose another place.
QString SaveFailureText(const QString& path, const WriteError& error);

// Asks where to save, titled `title` (asking before replacing), and calls `write` with the
// path chosen. When it fails the user is told which file and why, and asked again; Cancel
// gives up. Returns whether `write` succeeded.
bool SaveFileAs(QWidget* owner, const QString& title,
                const std::function<bool(const QString& path, WriteError& error)>& write,
                const QString& nameFilter = {}, const QString& defaultSuffix = {});

// Asks where to save ("CSV形式で保存": no filter, no default extension, no initial name,
// asking before replacing) and writes `rows` there. When the file cannot be written the
// user is told which file and why, and asked again; Cancel discards the rows. A path that
// would write into `database` is refused the same way. Returns whether the rows were
// written.
bool SaveRowsAs(QWidget* owner, const std::vector<std::string>& rows,
                const DatabaseFiles& database);

}  // namespace varnotte
