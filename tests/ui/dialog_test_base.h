// What the tests of the main dialog share: a fresh dialog for every test, with its run
// state and an answerer for the modal windows it opens, checked when the test ends.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QStringList>
#include <QTreeWidgetItem>
#include <QtTest>

#include <memory>

#include "tests/support/modal_answerer.h"
#include "tree/project_tree_ctrl.h"
#include "tree/run_state.h"
#include "ui/brelwick_dlg.h"

namespace varnotte::test {

class DialogTestBase : public QObject {
  protected:
    std::unique_ptr<RunState> state;
    std::unique_ptr<CBrelwickDlg> dialog;
    std::unique_ptr<ModalAnswerer> answerer;

    CProjectTreeCtrl* tree() const { return dialog->projectTree(); }
    QWidget* item(int id) const { return dialog->GetDlgItem(id); }
    QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(item(id)); }
    // The node at `path` below the root, by the names shown; null when there is none.
    QTreeWidgetItem* Node(const QStringList& path) const {
        QTreeWidgetItem* node = tree()->topLevelItem(0);
        for (const QString& name : path) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; node != nullptr && i < node->childCount(); ++i) {
                if (node->child(i)->text(0) == name) {
                    next = node->child(i);
                }
            }
            node = next;
        }
        return node;
    }

    // For each test's init().
    void CreateDialog() {
        state = std::make_unique<RunState>();
        dialog = std::make_unique<CBrelwickDlg>(*state, nullptr);
        answerer = std::make_unique<ModalAnswerer>(dialog.get());
    }

    // For each test's cleanup(): fails the test when a modal window came that nobody
    // expected, or one that was expected never came.
    void DestroyDialog() {
        const QStringList unanswered = answerer->unanswered();
        const int pending = answerer->pending();
        answerer.reset();
        dialog.reset();
        state.reset();
        QVERIFY2(unanswered.isEmpty(), qPrintable(unanswered.join(", ")));
        QCOMPARE(pending, 0);
    }
};

}  // namespace varnotte::test
