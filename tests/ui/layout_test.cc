// The main dialog when its window is resized: which controls move, which grow, by how much.
#include <QSizeGrip>
#include <QtTest>

#include <map>
#include <memory>

#include "tree/control_ids.h"
#include "ui/brelwick_dlg.h"
#include "ui/dialog_template.h"

using namespace varnotte;

class LayoutTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<RunState> state;
    std::unique_ptr<CBrelwickDlg> dialog;
    std::map<int, QRect> before;

    QRect At(int id) const { return dialog->GetDlgItem(id)->geometry(); }

    void Remember() {
        before.clear();
        for (const ControlTemplate& control : kControls) {
            if (control.id != 0) {
                before[control.id] = At(control.id);
            }
        }
    }

    // Resizes the client area and lets the resize be handled.
    void ResizeBy(int dx, int dy) {
        const QSize target = dialog->size() + QSize(dx, dy);
        dialog->resize(target);
        QTRY_COMPARE(dialog->size(), target.expandedTo(dialog->minimumSize()));
    }

    // What the rules give for a change of dx, dy from the remembered geometry.
    void VerifyLaidOutFor(int dx, int dy) {
        const QRect client = dialog->rect();
        QCOMPARE(At(IDC_STOP), before[IDC_STOP].translated(0, dy));
        QCOMPARE(At(IDC_BROWSE), before[IDC_BROWSE].translated(dx, 0));
        QCOMPARE(At(IDOK), before[IDOK].translated(dx, dy));
        QCOMPARE(At(IDC_SIZE_GRIP), before[IDC_SIZE_GRIP].translated(dx, dy));
        QRect status = before[IDC_STATUS].translated(0, dy);
        status.setRight(At(IDOK).left() - 10 - 1);  // ends 10 pixels left of the exit button
        QCOMPARE(At(IDC_STATUS), status);
        QRect tree = before[IDC_PROJECT_TREE];
        tree.setWidth(tree.width() + dx);
        tree.setHeight(tree.height() + dy);
        QCOMPARE(At(IDC_PROJECT_TREE), tree.intersected(client));
        for (const int fixed : {IDC_USER_NAME, IDC_PASSWORD, IDC_OUTPUT_HISTORY}) {
            QCOMPARE(At(fixed), before[fixed]);
        }
    }

  private slots:
    void init() {
        state = std::make_unique<RunState>();
        dialog = std::make_unique<CBrelwickDlg>(*state, nullptr);
        QVERIFY(dialog->OnInitDialog());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        Remember();
    }

    void cleanup() {
        dialog.reset();
        state.reset();
    }

    // At the first show the grip is nudged into the corner, and the status line, which the
    // template spans under the exit button, ends 10 pixels left of it.
    void firstShowNudgesTheGripAndEndsTheStatusLineBesideExit() {
        const QRect templatePlace =
            DialogUnitsToPixels(QRect(215, 241, 8, 11), dialog->baseUnits());
        QCOMPARE(At(IDC_SIZE_GRIP), templatePlace.translated(1, 2));
        QVERIFY(qobject_cast<QSizeGrip*>(dialog->GetDlgItem(IDC_SIZE_GRIP))->isVisible());
        // Nothing moved when the window first got its size.
        const QRect exit = DialogUnitsToPixels(QRect(165, 239, 50, 14), dialog->baseUnits());
        QCOMPARE(At(IDOK), exit);
        QRect status = DialogUnitsToPixels(QRect(0, 238, 221, 15), dialog->baseUnits());
        status.setRight(exit.left() - 10 - 1);
        QCOMPARE(At(IDC_STATUS), status);
        QVERIFY(!At(IDC_STATUS).intersects(exit));
    }

    // Restored settings give the window its size before it is shown; a hidden window hears
    // of that only once, at show, and the controls must follow all the same.
    void sizeSetBeforeTheWindowIsShownLaysItOut() {
        dialog = std::make_unique<CBrelwickDlg>(*state, nullptr);
        QVERIFY(dialog->OnInitDialog());
        Remember();
        dialog->resize(dialog->size() + QSize(150, 90));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        VerifyLaidOutFor(150, 90);
    }

    void widerByHundredPixels() {
        ResizeBy(100, 0);
        VerifyLaidOutFor(100, 0);
    }

    void tallerByFiftyPixels() {
        ResizeBy(0, 50);
        VerifyLaidOutFor(0, 50);
    }

    void bothAtOnceAndBackAgain() {
        ResizeBy(37, 23);
        VerifyLaidOutFor(37, 23);
        ResizeBy(-37, -23);
        VerifyLaidOutFor(0, 0);
    }

    // 220 x 252 is the smallest window, frame included, as a tracking size is: the client
    // area is smaller by the frame (offscreen windows have one too).
    void neverSmallerThanTheMinimum() {
        const QSize start = dialog->size();
        const QSize frame = dialog->frameGeometry().size() - start;
        dialog->resize(10, 10);
        QTRY_COMPARE(dialog->frameGeometry().size(), CBrelwickDlg::kMinimumSize);
        QCOMPARE(dialog->size(), CBrelwickDlg::kMinimumSize - frame);
        VerifyLaidOutFor(dialog->width() - start.width(), dialog->height() - start.height());
    }

    void maximiseHidesTheGripAndRestoreBringsEverythingBack() {
        const QSize start = dialog->size();
        dialog->showMaximized();
        QTRY_VERIFY(dialog->isMaximized());
        QTRY_VERIFY(dialog->size() != start);
        const QSize maximised = dialog->size();
        QVERIFY(!dialog->GetDlgItem(IDC_SIZE_GRIP)->isVisible());
        VerifyLaidOutFor(maximised.width() - start.width(), maximised.height() - start.height());
        dialog->showNormal();
        QTRY_COMPARE(dialog->size(), start);
        QVERIFY(dialog->GetDlgItem(IDC_SIZE_GRIP)->isVisible());
        VerifyLaidOutFor(0, 0);
    }

    void minimiseAndRestoreMoveNothing() {
        dialog->showMinimized();
        QTRY_VERIFY(dialog->isMinimized());
        dialog->showNormal();
        QTRY_VERIFY(!dialog->isMinimized());
        for (const auto& [id, place] : before) {
            QCOMPARE(At(id), place);
        }
        QVERIFY(dialog->GetDlgItem(IDC_SIZE_GRIP)->isVisible());
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
