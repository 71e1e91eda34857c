#include "tree/get_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include <cerrno>

#include "export/output_file_writer.h"
#include "tree/export_prompts.h"
#include "tree/prompt_text.h"

namespace varnotte {
QString AskGetFolder(QWidget* owner, const DatabaseFiles& database, const QString& name) {
    for (;;) {
        QFileDialog dialog(owner, QStringLiteral("取得先のフォルダを選択"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        const QString folder = dialog.selectedFiles().constFirst();
        const QString target = folder + QLatin1Char('/') + name;
        const TargetInDatabase found = FindTargetInDatabase(target, database);
        if (!found) {
            return folder;
        }
        QMessageBox box(
            QMessageBox::Warning, PromptCaption(),
            DatabaseRefusalText(target, found) + QStringLiteral("\n\n別の場所を選んで下さい。"),
            QMessageBox::Ok, owner);
        box.exec();
    }
}

QString GetFailureText(const GetFailure& failure) {
    const QString path = FromUtf8(failure.path);
    switch (failure.kind) {
        case GetFailure::Kind::kUnreadable:
            return QStringLiteral("読み込めません (%1)").arg(FromUtf8(failure.detail));
        case GetFailure::Kind::kUnusableName:
            return QStringLiteral("名前をファイル名に使えません (%1)")
                .arg(FromUtf8(failure.detail));
        case GetFailure::Kind::kNameTaken:
            return QStringLiteral("同じ名前の項目が先にあります");
        case GetFailure::Kind::kInDatabase:
            return DatabaseRefusalText(path, failure.inDatabase);
        case GetFailure::Kind::kCannotWrite:
        case GetFailure::Kind::kCannotMakeFolder:
            break;
    }
    if (failure.errorCode == EEXIST) {
        return QStringLiteral("%1 には同じ名前のものが既にあります。").arg(path);
    }
    const WriteError error{WriteFailureOf(failure.errorCode), FromUtf8(failure.detail), {}};
    return QStringLiteral("%1 に書き込めませんでした。%2").arg(path, WriteFailureText(error));
}

QString GetOutcomeText(const GetOutcome& outcome) {
    QString text = QStringLiteral("%1 個のファイルを %2 に取得しました。")
                       .arg(outcome.filesWritten)
                       .arg(outcome.folder);
    if (outcome.stopped) {
        text = QStringLiteral("取得を中止しました。") + text;
    }
    if (!outcome.failed.empty()) {
        QStringList lines;
        for (std::size_t i = 0; i < outcome.failed.size() && i < kListedItems; ++i) {
            lines.append(outcome.failed[i].first + QStringLiteral(": ") + outcome.failed[i].second);
        }
        if (outcome.failed.size() > kListedItems) {
            lines.append(QStringLiteral("他 %1 件").arg(outcome.failed.size() - kListedItems));
        }
        text += QStringLiteral("\n\n取得できなかった項目が %1 件あります。\n\n")
                    .arg(outcome.failed.size()) +
                lines.join(QLatin1Char('\n'));
    }
    if (!outcome.shortNames.empty()) {
        QStringList specs;
        for (std::size_t i = 0; i < outcome.shortNames.size() && i < kListedItems; ++i) {
            specs.append(outcome.shortNames[i]);
        }
        if (outcome.shortNames.size() > kListedItems) {
            specs.append(QStringLiteral("他 %1 件").arg(outcome.shortNames.size() - kListedItems));
        }
        text += QStringLiteral(
                    "\n\n名前を読めないため、保存されている短い名前で書き込んだファイルが %1 "
                    "件あります。\n\n")
                    .arg(outcome.shortNames.size()) +
                specs.join(QLatin1Char('\n'));
    }
    return text;
}

void ShowGetOutcome(QWidget* owner, const GetOutcome& outcome) {
    const bool whole = outcome.failed.empty() && outcome.shortNames.empty() && !outcome.stopped;
    QMessageBox box(whole ? QMessageBox::Information : QMessageBox::Warning, PromptCaption(),
                    GetOutcomeText(outcome), QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace varnotte
