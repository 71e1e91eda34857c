#include "tree/export_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "export/csv_file_writer.h"

namespace varnotte {
namespace {

constexpr int kListedFailures = 10;

QString Caption() {
    return QStringLiteral("Varnotte");
}

}  // namespace

bool AskToExport(QWidget* owner) {
    QMessageBox box(QMessageBox::NoIcon, Caption(),
                    QStringLiteral("このフォルダ下をCSVに出力しますか？"),
                    QMessageBox::Ok | QMessageBox::Cancel, owner);
    return box.exec() == QMessageBox::Ok;
}

QString UnreadableItemsText(const FailedItems& failed) {
    QStringList specs;
    for (std::size_t i = 0; i < failed.size() && i < static_cast<std::size_t>(kListedFailures);
         ++i) {
        specs.append(failed[i].first);
    }
    QString text =
        QStringLiteral(
            "読み込めなかった項目が %1 件あります。これらの項目はCSVに出力されません。\n\n%2")
            .arg(failed.size())
            .arg(specs.join(QLatin1Char('\n')));
    if (failed.size() > static_cast<std::size_t>(kListedFailures)) {
        text += QStringLiteral("\n他 %1 件").arg(failed.size() - kListedFailures);
    }
    return text;
}

void WarnUnreadableItems(QWidget* owner, const FailedItems& failed) {
    QMessageBox box(QMessageBox::Warning, Caption(), UnreadableItemsText(failed), QMessageBox::Ok,
                    owner);
    box.exec();
}

bool SaveRowsAs(QWidget* owner, const std::vector<std::string>& rows,
                const DatabaseFiles& database) {
    for (;;) {
        QFileDialog dialog(owner, QStringLiteral("CSV形式で保存"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return false;
        }
        const QString path = dialog.selectedFiles().constFirst();
        QString reason;
        if (WriteCsvFile(path, rows, &reason, &database)) {
            return true;
        }
        QMessageBox box(
            QMessageBox::Warning, Caption(),
            QStringLiteral("%1 に書き込めませんでした。\n%2\n\n別の場所を選んで下さい。")
                .arg(path, reason),
            QMessageBox::Ok, owner);
        box.exec();
    }
}

}  // namespace varnotte
