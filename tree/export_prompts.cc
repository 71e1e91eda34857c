#include "tree/export_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "export/output_file_writer.h"
#include "tree/prompt_text.h"

namespace varnotte {

QString DatabaseRefusalText(const QString& path, const TargetInDatabase& found) {
    switch (found.part) {
        case DatabasePart::kIni:
            return QStringLiteral(
                       "%1 は出力元のデータベースの srcsafe.ini なので、書き込めません。")
                .arg(path);
        case DatabasePart::kUsersList:
            return QStringLiteral("%1 は出力元のデータベースのユーザ一覧なので、書き込めません。")
                .arg(path);
        case DatabasePart::kDataFolder:
            return QStringLiteral(
                       "%1 は出力元のデータベースのデータフォルダ %2 "
                       "の中にあるので、書き込めません。")
                .arg(path, found.folder);
        case DatabasePart::kUsersFolder:
            return QStringLiteral(
                       "%1 は出力元のデータベースのユーザフォルダ %2 "
                       "の中にあるので、書き込めません。")
                .arg(path, found.folder);
        case DatabasePart::kNone:
            break;
    }
    return QStringLiteral("%1 は出力元のデータベースのファイルなので、書き込めません。").arg(path);
}

QString WriteFailureText(const WriteError& error) {
    switch (error.kind) {
        case WriteFailure::kNoSuchFolder:
            return QStringLiteral("保存先のフォルダがありません。");
        case WriteFailure::kNoPermission:
            return QStringLiteral("書き込む権限がありません。");
        case WriteFailure::kDiskFull:
            return QStringLiteral("ディスクの空き容量が足りません。");
        case WriteFailure::kReadOnlyFileSystem:
            return QStringLiteral("読み取り専用のファイルシステムです。");
        case WriteFailure::kIsAFolder:
            return QStringLiteral("フォルダです。");
        case WriteFailure::kNoReader:
            return QStringLiteral("このパイプを読み出しているプログラムがありません。");
        case WriteFailure::kDiskDevice:
            return QStringLiteral("ディスク装置には書き込みません。");
        case WriteFailure::kNone:
        case WriteFailure::kInDatabase:
        case WriteFailure::kOther:
            break;
    }
    return QStringLiteral("(%1)").arg(error.text);
}

bool AskToExport(QWidget* owner) {
    QMessageBox box(QMessageBox::NoIcon, PromptCaption(),
                    QStringLiteral("このフォルダ下をCSVに出力しますか？"),
                    QMessageBox::Ok | QMessageBox::Cancel, owner);
    return box.exec() == QMessageBox::Ok;
}

namespace {

// "<count and what it means>\n\n<the first ten specs>[\n他 N 件]"
QString ListedItemsText(const QString& headline, const FailedItems& items) {
    QStringList specs;
    for (std::size_t i = 0; i < items.size() && i < kListedItems; ++i) {
        specs.append(items[i].first);
    }
    QString text =
        headline.arg(items.size()) + QStringLiteral("\n\n") + specs.join(QLatin1Char('\n'));
    if (items.size() > kListedItems) {
        text += QStringLiteral("\n他 %1 件").arg(items.size() - kListedItems);
    }
    return text;
}

}  // namespace

QString UnreadableItemsText(const FailedItems& failed, const FailedItems& damaged) {
    QStringList parts;
    if (!failed.empty()) {
        parts.append(ListedItemsText(
            QStringLiteral(
                "読み込めなかった項目が %1 件あります。これらの項目はCSVに出力されません。"),
            failed));
    }
    if (!damaged.empty()) {
        parts.append(ListedItemsText(
            QStringLiteral("損傷している項目が %1 件あります。これらの項目は読み取れた範囲で"
                           "CSVに出力されます。"),
            damaged));
    }
    return parts.join(QStringLiteral("\n\n"));
}

void WarnUnreadableItems(QWidget* owner, const FailedItems& failed, const FailedItems& damaged) {
    QMessageBox box(QMessageBox::Warning, PromptCaption(), UnreadableItemsText(failed, damaged),
                    QMessageBox::Ok, owner);
    box.exec();
}

QString SaveFailureText(const QString& path, const WriteError& error) {
    const QString what =
        error.kind == WriteFailure::kInDatabase
            ? DatabaseRefusalText(path, error.inDatabase)
            : QStringLiteral("%1 に書き込めませんでした。\n%2").arg(path, WriteFailureText(error));
    return what + QStringLiteral("\n\n別の場所を選んで下さい。");
}

bool SaveFileAs(QWidget* owner, const QString& title,
                const std::function<bool(const QString& path, WriteError& error)>& write,
                const QString& nameFilter, const QString& defaultSuffix) {
    for (;;) {
        QFileDialog dialog(owner, title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!nameFilter.isEmpty()) {
            dialog.setNameFilter(nameFilter);
        }
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return false;
        }
        const QString path = dialog.selectedFiles().constFirst();
        WriteError error;
        if (write(path, error)) {
            return true;
        }
        QMessageBox box(QMessageBox::Warning, PromptCaption(), SaveFailureText(path, error),
                        QMessageBox::Ok, owner);
        box.exec();
    }
}

bool SaveRowsAs(QWidget* owner, const std::vector<std::string>& rows,
                const DatabaseFiles& database) {
    return SaveFileAs(owner, QStringLiteral("CSV形式で保存"),
                      [&](const QString& path, WriteError& error) {
                          return WriteCsvFile(path, rows, &error, &database);
                      });
}

}  // namespace varnotte
