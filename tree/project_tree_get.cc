// The tree's context menu and its get: files out of the database into a folder.
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMessageBox>

#include <exception>
#include <string>

#include "export/database_files.h"
#include "export/tree_get.h"
#include "sourcesafe/vss_error.h"
#include "tree/get_prompts.h"
#include "tree/project_tree_ctrl.h"
#include "tree/prompt_text.h"

namespace varnotte {
namespace {

QString GetStatusText(std::size_t written, const QString& spec) {
    return QStringLiteral("取得中 (%1 個): %2").arg(written).arg(spec);
}

}  // namespace

void CProjectTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* node =
        event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    if (node == nullptr || m_loading || m_pDatabase.IsEmpty()) {
        event->ignore();
        return;
    }
    event->accept();
    QMenu menu(this);
    QAction* get = menu.addAction(QStringLiteral("取得..."));
    QAction* report =
        IsProjectNode(node) ? menu.addAction(QStringLiteral("棚卸しレポート...")) : nullptr;
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : viewport()->mapToGlobal(visualItemRect(node).center());
    QAction* chosen = menu.exec(at);
    if (chosen == get) {
        GetItem(node);
    } else if (chosen != nullptr && chosen == report) {
        SaveReport(node);
    }
}

void CProjectTreeCtrl::GetItem(QTreeWidgetItem* node) {
    const QString spec = GetItemPath(node);
    sourcesafe::IVSSItem item;
    std::string name;
    bool project = false;
    try {
        item = m_pDatabase.VSSItem(spec.toStdString());
        project = item.Type() == sourcesafe::VSSITEM_PROJECT;
        name = item.Name();
    } catch (const sourcesafe::VssError& error) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Varnotte"),
                        QStringLiteral("%1 を読み込めませんでした。\n(%2)")
                            .arg(spec, QString::fromUtf8(error.what())),
                        QMessageBox::Ok, this);
        box.exec();
        emit expansionHandled();
        return;
    }
    const QString folder = AskGetFolder(this, FilesOf(m_pDatabase), FromUtf8(name));
    if (folder.isEmpty()) {
        emit expansionHandled();
        return;
    }

    const LoadingStart start = BeginCommand();
    GetOutcome outcome;
    outcome.folder = folder;
    TreeGetCallbacks callbacks;
    callbacks.progress = [&](std::size_t written, const std::string& file) {
        m_pendingStatus = GetStatusText(written, FromUtf8(file));
        ProcessEvents();
    };
    callbacks.failed = [&](const GetFailure& failure) {
        outcome.failed.emplace_back(FromUtf8(failure.spec), GetFailureText(failure));
    };
    callbacks.shortName = [&](const std::string& file, const std::string&) {
        outcome.shortNames.push_back(FromUtf8(file));
    };
    callbacks.running = &m_state->exportRunning;
    TreeGet get(m_pDatabase, false, std::move(callbacks));
    const std::string target = QFile::encodeName(folder).toStdString();
    try {
        if (project) {
            get.Project(item, target);
        } else if (const std::string_view why = UnusableName(name); !why.empty()) {
            outcome.failed.emplace_back(
                spec,
                GetFailureText(
                    {GetFailure::Kind::kUnusableName, item.Spec(), {}, std::string(why), {}, 0}));
        } else {
            get.File(item, target + "/" + name, 0);
        }
    } catch (const std::exception& error) {
        // The database failing where no step of the get looks for it: what is written stays.
        outcome.failed.emplace_back(
            spec, QStringLiteral("読み込めません (%1)").arg(QString::fromLocal8Bit(error.what())));
    }
    const bool closing = EndCommand(start).closing;
    outcome.filesWritten = get.filesWritten();
    outcome.stopped = get.stopped();
    if (!closing) {
        ShowGetOutcome(this, outcome);
    }
    emit expansionHandled();
}

}  // namespace varnotte
