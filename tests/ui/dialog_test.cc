// The main dialog driven as a user drives it, offscreen, against real and written databases.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSizeGrip>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

#include "testing/code_page_words.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/dialog_test_base.h"
#include "tests/ui/gui_test_support.h"
#include "tree/control_ids.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"
#include "ui/dialog_template.h"

using namespace varnotte;
using varnotte::test::ModalAnswerer;

namespace {

const QString kOpenFailedText =
    QStringLiteral("ID及び、PWが正しい事とご利用のIDが正しい利用権限があることを確認下さい。");
const QString kOpenFailedCaption = QStringLiteral("Vss データベースを開く事ができません。");
// Wider than the tree at the default size.
const QString kLongName =
    QStringLiteral("Quarterly reconciliation of the regional warehouse ledgers, second half");

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == name) {
            return parent->child(i);
        }
    }
    return nullptr;
}

// Rows the view lays out, from the top: what scrolling through the tree would show.
QList<QTreeWidgetItem*> VisibleRows(QTreeWidget* tree) {
    QList<QTreeWidgetItem*> rows;
    for (QTreeWidgetItem* row = tree->topLevelItem(0); row != nullptr; row = tree->itemBelow(row)) {
        rows.append(row);
    }
    return rows;
}

// Whether the expand button is drawn in front of `node`: the classic style draws it as a
// 9 x 9 box around the middle of the branch cell, where a node without one shows no more
// than its dotted lines.
bool ShowsExpandButton(QTreeWidget* tree, QTreeWidgetItem* node) {
    tree->scrollToItem(node);
    const QRect label = tree->visualItemRect(node);
    const QRect cell(label.left() - tree->indentation(), label.top(), tree->indentation(),
                     label.height());
    const QImage image = tree->viewport()->grab(cell).toImage();
    const QPoint middle(image.width() / 2, image.height() / 2);
    const QRgb background = tree->palette().color(QPalette::Base).rgb();
    int drawn = 0;
    for (int y = middle.y() - 4; y <= middle.y() + 4; ++y) {
        for (int x = middle.x() - 4; x <= middle.x() + 4; ++x) {
            drawn += image.valid(x, y) && image.pixel(x, y) != background ? 1 : 0;
        }
    }
    return drawn >= 20;  // the box alone has 32 pixels; the dotted lines at most 9
}

}  // namespace

class DialogTest : public varnotte::test::DialogTestBase {
    Q_OBJECT

  private:
    std::unique_ptr<varnotte::test::TempDir> dir;

    // Shows the dialog as after its initialisation, with `user` typed in.
    void Start(const QString& user = QStringLiteral("Admin")) {
        QVERIFY(dialog->OnInitDialog());
        dialog->show();
        dialog->activateWindow();
        QTest::keyClicks(edit(IDC_USER_NAME), user);
    }

    // The next control that Tab moves to.
    static QWidget* NextTabStop(QWidget* widget) {
        QWidget* next = widget->nextInFocusChain();
        while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        return next;
    }

    // Expands `node`, answering the export question with `answer` (Cancel: one level).
    void Expand(QTreeWidgetItem* node, int answer = QMessageBox::Cancel,
                std::function<void()> then = {}) {
        answerer->Expect([answer, then](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->text(), QStringLiteral("このフォルダ下をCSVに出力しますか？"));
            if (then) {
                QTimer::singleShot(0, then);  // runs during the walk that follows
            }
            box->button(static_cast<QMessageBox::StandardButton>(answer))->click();
        });
        node->setExpanded(true);
        QCOMPARE(answerer->pending(), 0);
    }

    bool Browse(const QString& ini) {
        answerer->ExpectFileDialog(ini);
        dialog->OnBrowse();
        return answerer->pending() == 0;
    }

    // A database with one project of `files` files, for long walks.
    QString WriteBigDatabase(int files) {
        vsstest::DatabaseWriter writer(dir->path() / "big");
        const vsstest::ItemId big = writer.AddProject(writer.Root(), "Big");
        writer.AddProject(big, "Sub");
        for (int i = 0; i < files; ++i) {
            writer.AddFile(big, "file" + std::to_string(i) + ".txt");
        }
        writer.Write();
        return QString::fromStdString(writer.IniPath().string());
    }

  private slots:
    void init() {
        CreateDialog();
        dir = std::make_unique<varnotte::test::TempDir>();
    }

    void cleanup() {
        DestroyDialog();
        dir.reset();
    }

    void firstStartShowsAnEmptyDialog() {
        Start(QString());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Varnotte"));
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QCOMPARE(edit(IDC_USER_NAME)->text(), QString());
        QVERIFY(!qobject_cast<QCheckBox*>(item(IDC_OUTPUT_HISTORY))->isChecked());
        QVERIFY(!item(IDC_STOP)->isEnabled());
        QVERIFY(item(IDOK)->isEnabled());
        QCOMPARE(state->historyFlag, &dialog->m_outputHistory);
        QVERIFY(!dialog->windowIcon().isNull());
        QCOMPARE(edit(IDC_PASSWORD)->echoMode(), QLineEdit::Password);
        QVERIFY(qobject_cast<QPushButton*>(item(IDOK))->isDefault());
        QVERIFY(qobject_cast<QSizeGrip*>(item(IDC_SIZE_GRIP)) != nullptr);
    }

    // Tahoma 8 pt has base units 6 x 13 at 96 DPI, as Windows measures them (average width
    // of the letters, and the full line height with the internal leading). Each rectangle
    // is worked out by hand from the template: x px = DLU * 6 / 4, y px = DLU * 13 / 8, the
    // corners rounded half away from zero.
    void controlsSitWhereTheTemplatePutsThem_data() {
        QTest::addColumn<int>("id");  // 0 for a label, found by its caption
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("user name label")
            << 0 << QStringLiteral("ユーザ名(&U):") << QRect(11, 15, 63, 13);
        QTest::newRow("user name") << int(IDC_USER_NAME) << QString() << QRect(74, 11, 81, 22);
        QTest::newRow("password label")
            << 0 << QStringLiteral("パスワード(&P):") << QRect(168, 15, 66, 13);
        QTest::newRow("password") << int(IDC_PASSWORD) << QString() << QRect(240, 11, 81, 22);
        QTest::newRow("history") << int(IDC_OUTPUT_HISTORY) << QString() << QRect(15, 42, 113, 17);
        QTest::newRow("...") << int(IDC_BROWSE) << QString() << QRect(293, 41, 24, 19);
        QTest::newRow("tree") << int(IDC_PROJECT_TREE) << QString() << QRect(11, 88, 310, 270);
        QTest::newRow("stop") << int(IDC_STOP) << QString() << QRect(0, 361, 75, 23);
        // Ends 10 pixels left of the exit button from the first show.
        QTest::newRow("status") << int(IDC_STATUS) << QString() << QRect(0, 387, 238, 24);
        QTest::newRow("exit") << int(IDOK) << QString() << QRect(248, 388, 75, 23);
        // 323, 392, 12 x 18 in the template, nudged 1 right and 2 down into the corner.
        QTest::newRow("size grip") << int(IDC_SIZE_GRIP) << QString() << QRect(324, 394, 12, 18);
    }

    void controlsSitWhereTheTemplatePutsThem() {
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(QRect, pixels);
        if (dialog->font().family() != QStringLiteral("Tahoma")) {
            if (varnotte::test::RunningInCi()) {
                QFAIL("Tahoma (fonts-wine) is not installed");
            }
            QSKIP("Tahoma (fonts-wine) is not installed");
        }
        Start();
        QCOMPARE(dialog->size(), QSize(332, 411));
        QWidget* control = item(id);
        if (id == 0) {
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                control = label->text() == caption ? label : control;
            }
        }
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), pixels);
    }

    void tabOrderFollowsTheTemplate() {
        const int order[] = {IDC_USER_NAME, IDC_PASSWORD, IDC_BROWSE,        IDC_PROJECT_TREE,
                             IDC_STOP,      IDOK,         IDC_OUTPUT_HISTORY};
        for (std::size_t i = 1; i < std::size(order); ++i) {
            QCOMPARE(NextTabStop(item(order[i - 1])), item(order[i]));
        }
    }

    // Each control that Tab reaches shows that it has the focus (Exit, the default button,
    // included): the control looks different with the focus than without it.
    void focusedControlShowsItHasTheFocus_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("user name") << int(IDC_USER_NAME);
        QTest::newRow("password") << int(IDC_PASSWORD);
        QTest::newRow("...") << int(IDC_BROWSE);
        QTest::newRow("tree") << int(IDC_PROJECT_TREE);
        QTest::newRow("exit") << int(IDOK);
        QTest::newRow("history") << int(IDC_OUTPUT_HISTORY);
    }

    void focusedControlShowsItHasTheFocus() {
        QFETCH(int, id);
        VARNOTTE_QFIXTURE_INI(ini, "small-edits");
        Start();
        QVERIFY(Browse(ini));
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QWidget* control = item(id);
        QWidget* elsewhere = item(id == IDC_USER_NAME ? IDC_PASSWORD : IDC_USER_NAME);
        elsewhere->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(elsewhere->hasFocus());
        const QImage without = control->grab().toImage();
        control->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(control->hasFocus());
        QVERIFY(control->grab().toImage() != without);
        if (id == IDOK) {
            varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("focus-on-exit"));
        }
    }

    void dialogUnitsConvertAsWindowsDoes() {
        // Tahoma 8 pt on Windows: 6 x 13 base units; a 50 x 14 button becomes 75 x 23.
        const DialogBaseUnits windowsTahoma{6, 13};
        QCOMPARE(DialogUnitsToPixels(QRect(165, 239, 50, 14), windowsTahoma),
                 QRect(248, 388, 75, 23));
        QCOMPARE(DialogUnitsToPixels(QRect(0, 0, 221, 253), windowsTahoma), QRect(0, 0, 332, 411));
    }

    void browseShowsTheRootsFirstLevel() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start();
        QVERIFY(Browse(ini));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Varnotte - ") + ini);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("$"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 1);
        QTreeWidgetItem* project = root->child(0);
        QCOMPARE(project->text(0), QStringLiteral("Invetory Shaili"));
        QVERIFY(ShowsExpandButton(tree(), project));
        QCOMPARE(project->childCount(), 0);  // one level only
        QCOMPARE(tree()->GetItemPath(root), QStringLiteral("$/"));
        QCOMPARE(tree()->GetItemPath(project), QStringLiteral("$/Invetory Shaili"));
        QCOMPARE(tree()->GetItemPath(nullptr), QString());
        QCOMPARE(dialog->m_databasePath, ini);
        QCOMPARE(dialog->m_databaseList.selectedText(), ini);
        QCOMPARE(qobject_cast<QLabel*>(item(IDC_STATUS))->text(),
                 QStringLiteral("$/Invetory Shaili"));
        QCOMPARE(state->firstExpand, 0);
        // Folder images: closed when not selected, open when selected.
        QCOMPARE(project->icon(0).pixmap(16, QIcon::Normal).toImage(),
                 dialog->m_treeImages.cell(kClosedFolderImage).toImage());
        QCOMPARE(project->icon(0).pixmap(16, QIcon::Selected).toImage(),
                 dialog->m_treeImages.cell(kOpenFolderImage).toImage());

        Expand(project);
        QCOMPARE(project->childCount(), 40);
        QTreeWidgetItem* sub = Child(project, QStringLiteral("64bitApp"));
        QVERIFY(sub != nullptr);
        QVERIFY(ShowsExpandButton(tree(), sub));
        QTreeWidgetItem* file = Child(project, QStringLiteral("Docsvault SB 6.0.sln"));
        QVERIFY(file != nullptr);
        QVERIFY(!ShowsExpandButton(tree(), file));
        QCOMPARE(file->icon(0).pixmap(16).toImage(),
                 dialog->m_treeImages.cell(kDocumentImage).toImage());
        tree()->setCurrentItem(project);
        varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("main-window"));
    }

    void resizedWindowKeepsTheTreeAndButtonsInPlace() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start();
        QVERIFY(Browse(ini));
        Expand(tree()->topLevelItem(0)->child(0));
        varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("resize-before"));
        const QRect exitBefore = item(IDOK)->geometry();
        dialog->resize(dialog->size() + QSize(180, 120));
        QTRY_COMPARE(item(IDOK)->geometry(), exitBefore.translated(180, 120));
        varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("resize-larger"));
        dialog->resize(10, 10);  // stops where the window, frame included, is 220 x 252
        QTRY_COMPARE(dialog->frameGeometry().size(), CBrelwickDlg::kMinimumSize);
        varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("resize-smallest"));
    }

    void maximisedWindowUsesTheScreenAndRestoresAsItWas() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start();
        QVERIFY(Browse(ini));
        Expand(tree()->topLevelItem(0)->child(0));
        const QSize normal = dialog->size();
        const QRect exitBefore = item(IDOK)->geometry();
        dialog->showMaximized();
        QTRY_VERIFY(dialog->isMaximized());
        QTRY_VERIFY(dialog->size() != normal);
        const QSize grown = dialog->size() - normal;
        QTRY_COMPARE(item(IDOK)->geometry(), exitBefore.translated(grown.width(), grown.height()));
        varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("resize-maximised"));
        dialog->showNormal();
        QTRY_COMPARE(dialog->size(), normal);
        QTRY_COMPARE(item(IDOK)->geometry(), exitBefore);
        varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("resize-restored"));
    }

    // After every kind of expansion each inserted child is a row of the view below its
    // node; a node that found no project below it loses its button, not its files.
    void everyInsertedChildIsAVisibleRow_data() {
        QTest::addColumn<QString>("database");  // a fixture, or "" for a written one
        QTest::addColumn<QStringList>("path");  // from the root; empty: the root at open
        QTest::addColumn<int>("answer");        // 0 Cancel, 1 OK and save, 2 Cancel and Stop
        QTest::addColumn<int>("children");      // -1: some, but not all, are loaded
        QTest::addColumn<bool>("button");
        // Children whose names are shown in their stored short form, and say so.
        QTest::addColumn<int>("shortForms");
        const QString shares = QStringLiteral("shares-deletes");
        const QString inventory = QStringLiteral("Invetory Shaili");
        QTest::newRow("files only")
            << shares << QStringList{inventory, QStringLiteral("64bitApp")} << 0 << 2 << false << 0;
        QTest::newRow("files only, exported")
            << shares << QStringList{inventory, QStringLiteral("64bitApp")} << 1 << 2 << false << 0;
        QTest::newRow("projects and files")
            << shares << QStringList{inventory} << 0 << 40 << true << 0;
        QTest::newRow("files only, stopped")
            << QString() << QStringList{QStringLiteral("Big")} << 2 << -1 << false << 0;
        QTest::newRow("empty project")
            << QString() << QStringList{QStringLiteral("Empty")} << 0 << 0 << false << 0;
        QTest::newRow("root of files at open")
            << QString() << QStringList{} << 0 << 2 << false << 0;
        // No names.dat: 41 of the 69 names below Widgie are kept there.
        QTest::newRow("long names lost")
            << QStringLiteral("edits-comments") << QStringList{QStringLiteral("Widgie")} << 0 << 69
            << true << 41;
    }

    void everyInsertedChildIsAVisibleRow() {
        QFETCH(QString, database);
        QFETCH(QStringList, path);
        QFETCH(int, answer);
        QFETCH(int, children);
        QFETCH(bool, button);
        QFETCH(int, shortForms);
        QString ini;
        if (database.isEmpty()) {
            vsstest::DatabaseWriter writer(dir->path() / "db");
            writer.AddFile(writer.Root(), "a.txt");
            writer.AddFile(writer.Root(), "b.txt");
            if (!path.isEmpty()) {  // else a root of files only
                writer.AddProject(writer.Root(), "Empty");
                const vsstest::ItemId big = writer.AddProject(writer.Root(), "Big");
                // Enough for Stop to land in the middle of the walk.
                for (int i = 0; i < (answer == 2 ? 500 : 1); ++i) {
                    writer.AddFile(big, "file" + std::to_string(i) + ".txt");
                }
            }
            writer.Write();
            ini = QString::fromStdString(writer.IniPath().string());
        } else {
            ini = varnotte::test::FixtureIni(qPrintable(database));
            if (ini.isEmpty()) {
                QSKIP("fixture missing");  // the other tests of this fixture fail under CI
            }
        }
        Start();
        QVERIFY(Browse(ini));
        QTreeWidgetItem* node = tree()->topLevelItem(0);
        for (int i = 0; i < path.size(); ++i) {
            node = Child(node, path[i]);
            QVERIFY2(node != nullptr, qPrintable(path[i]));
            if (i + 1 == path.size()) {
                break;
            }
            Expand(node);
        }
        if (!path.isEmpty() && answer == 1) {
            answerer->ExpectMessageBox(QMessageBox::Ok);
            answerer->ExpectFileDialog(QString::fromStdString((dir->path() / "out.csv").string()));
            node->setExpanded(true);
            QCOMPARE(answerer->pending(), 0);
        } else if (!path.isEmpty()) {
            Expand(node, QMessageBox::Cancel, [this, answer] {
                if (answer == 2) {
                    QTest::mouseClick(item(IDC_STOP), Qt::LeftButton);
                }
            });
        }
        if (children >= 0) {
            QCOMPARE(node->childCount(), children);
        } else {
            QVERIFY(node->childCount() > 0 && node->childCount() < 500);
        }
        QVERIFY(node->isExpanded());
        const QList<QTreeWidgetItem*> rows = VisibleRows(tree());
        for (int i = 0; i < node->childCount(); ++i) {
            QTreeWidgetItem* child = node->child(i);
            QVERIFY2(rows.contains(child), qPrintable(child->text(0)));
            QVERIFY2(!tree()->visualItemRect(child).isEmpty(), qPrintable(child->text(0)));
        }
        QCOMPARE(ShowsExpandButton(tree(), node), button);
        int shownShort = 0;
        for (int i = 0; i < node->childCount(); ++i) {
            shownShort += node->child(i)->toolTip(0).contains(QStringLiteral("短い形")) ? 1 : 0;
        }
        QCOMPARE(shownShort, shortForms);
        if (shortForms > 0) {
            varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("short-names"));
        }
    }

    // The mouse cannot collapse a node that shows no button; the keyboard can, and opening
    // it again asks the question and reloads it as any later expansion does.
    void nodeWithoutButtonCollapsesAndOpensByKeyboardOnly() {
        VARNOTTE_QFIXTURE_INI(ini, "small-edits");
        Start();
        QVERIFY(Browse(ini));
        QTreeWidgetItem* project = tree()->topLevelItem(0)->child(0);
        QCOMPARE(project->text(0), QStringLiteral("esign-java-authenticator"));
        Expand(project);
        QCOMPARE(project->childCount(), 2);
        const int rowsOpen = VisibleRows(tree()).size();
        // Marked, so that a reload shows (a new item may reuse the old one's address).
        project->child(0)->setText(0, QStringLiteral("first load"));

        const QRect label = tree()->visualItemRect(project);
        const QPoint buttonPlace(label.left() - tree()->indentation() / 2, label.center().y());
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, buttonPlace);
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, label.center());
        QVERIFY(project->isExpanded());
        QCOMPARE(VisibleRows(tree()).size(), rowsOpen);

        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        tree()->setCurrentItem(project);
        tree()->setFocus();
        QTest::keyClick(tree(), Qt::Key_Left);  // collapsing asks nothing
        QVERIFY(!project->isExpanded());
        QCOMPARE(VisibleRows(tree()).size(), rowsOpen - 2);
        QCOMPARE(project->child(0)->text(0), QStringLiteral("first load"));  // nor reloads

        answerer->ExpectMessageBox(QMessageBox::Cancel);
        QTest::keyClick(tree(), Qt::Key_Right);
        QCOMPARE(answerer->pending(), 0);
        QVERIFY(project->isExpanded());
        QCOMPARE(dialog->focusWidget(), tree());  // the keys go on working in the tree
        QCOMPARE(VisibleRows(tree()).size(), rowsOpen);
        QCOMPARE(project->child(0)->text(0), QStringLiteral("clingBling.txt"));
        QCOMPARE(project->child(1)->text(0), QStringLiteral("Le.txt"));
        QVERIFY(!ShowsExpandButton(tree(), project));
    }

    // A project whose child list cannot be read when it is expanded keeps its expand
    // button, so that it can be tried again once the list is back.
    void projectWhoseListFailsCanBeExpandedAgain() {
        vsstest::DatabaseWriter writer(dir->path() / "db");
        const vsstest::ItemId p = writer.AddProject(writer.Root(), "P");
        writer.AddFile(p, "a.txt");
        writer.Write();
        Start();
        QVERIFY(Browse(QString::fromStdString(writer.IniPath().string())));
        QTreeWidgetItem* project = tree()->topLevelItem(0)->child(0);
        // Another client is rewriting the list as it is read.
        const std::filesystem::path list = writer.DataPath(p);
        const std::string bytes = vsstest::ReadWholeFile(list);
        vsstest::TruncateFile(list, bytes.size() - 10);
        Expand(project);
        QCOMPARE(project->childCount(), 0);
        QVERIFY(ShowsExpandButton(tree(), project));

        vsstest::WriteWholeFile(list, bytes);
        project->setExpanded(false);
        Expand(project);
        QCOMPARE(project->childCount(), 1);
    }

    // Projects each inside the one before, "d1" to "d30", each with a file ("f1.txt" ...)
    // that sorts after its project.
    QString WriteDeepDatabase() {
        vsstest::DatabaseWriter writer(dir->path() / "deep");
        vsstest::ItemId project = writer.Root();
        for (int level = 1; level <= 30; ++level) {
            project = writer.AddProject(project, "d" + std::to_string(level));
            writer.AddFile(project, "f" + std::to_string(level) + ".txt");
        }
        writer.Write();
        return QString::fromStdString(writer.IniPath().string());
    }

    static QString DeepPath(int levels, const QString& file = QString()) {
        QStringList parts{QStringLiteral("$")};
        for (int level = 1; level <= levels; ++level) {
            parts.append(QStringLiteral("d%1").arg(level));
        }
        if (levels == 0 || !file.isEmpty()) {
            parts.append(file);  // the root's own path is "$/"
        }
        return parts.join(QLatin1Char('/'));
    }

    // The item's icon and text, where the view draws them.
    QRect Label(QTreeWidgetItem* node) const {
        const QRect row = tree()->visualItemRect(node);
        const int width = tree()->sizeHintForIndex(tree()->indexFromItem(node)).width();
        return QRect(row.topLeft(), QSize(width, row.height()));
    }

    // Presses `key` in the tree; Esc answers the question of a project it opens.
    void PressInTree(int key) {
        QTreeWidgetItem* current = tree()->currentItem();
        if (key == Qt::Key_Right && !current->isExpanded() &&
            current->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator) {
            answerer->Expect([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        }
        QTest::keyClick(tree(), static_cast<Qt::Key>(key));
        QCOMPARE(answerer->pending(), 0);
    }

    // Exactly the item at `path` is current and selected, its label inside the view.
    void VerifyCurrentIs(const QString& path) {
        QTreeWidgetItem* current = tree()->currentItem();
        QVERIFY(current != nullptr);
        QCOMPARE(tree()->GetItemPath(current), path);
        QCOMPARE(tree()->selectedItems(), QList<QTreeWidgetItem*>{current});
        QVERIFY2(tree()->viewport()->rect().contains(Label(current)), qPrintable(path));
    }

    // Keys pressed after walking down to level 25 (each project opened with Right, Esc on
    // the question, the next reached with Down), and where each must leave the selection.
    void deepTreeIsWalkedByKeyboard_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("down into the open project, then past it")
            << QList<int>{Qt::Key_Down, Qt::Key_Down}
            << QStringList{DeepPath(26), DeepPath(25, QStringLiteral("f25.txt"))};
        QTest::newRow("up") << QList<int>{Qt::Key_Up, Qt::Key_Up}
                            << QStringList{DeepPath(24), DeepPath(23)};
        QTest::newRow("right into the open project, open it, and into it")
            << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}
            << QStringList{DeepPath(26), DeepPath(26), DeepPath(27)};
        QTest::newRow("left closes the open project, then goes to its parent")
            << QList<int>{Qt::Key_Left, Qt::Key_Down, Qt::Key_Left}
            << QStringList{DeepPath(25), DeepPath(24, QStringLiteral("f24.txt")), DeepPath(24)};
    }

    void deepTreeIsWalkedByKeyboard() {
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, paths);
        Start();
        QVERIFY(Browse(WriteDeepDatabase()));
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          tree()->visualItemRect(root).center());
        VerifyCurrentIs(DeepPath(0));
        for (int level = 1; level <= 25 && !QTest::currentTestFailed(); ++level) {
            PressInTree(Qt::Key_Down);
            VerifyCurrentIs(DeepPath(level));
            PressInTree(Qt::Key_Right);
            QVERIFY(tree()->currentItem()->isExpanded());
        }
        QVERIFY(tree()->horizontalScrollBar()->isVisible());
        QVERIFY(tree()->horizontalScrollBar()->value() > 0);
        if (QTest::currentDataTag() == QByteArrayLiteral("up")) {
            varnotte::test::SaveScreenAround(dialog.get(), QStringLiteral("deep-tree-scrolled"));
        }
        for (int i = 0; i < keys.size() && !QTest::currentTestFailed(); ++i) {
            PressInTree(keys[i]);
            VerifyCurrentIs(paths[i]);
        }
    }

    // An item the edge of the view cuts off shows its whole name in a tooltip when the
    // mouse rests on the part that shows; an item shown whole shows none.
    void partlyHiddenItemShowsItsNameInATooltip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("scrolledRight");
        QTest::addColumn<bool>("tooltip");
        QTest::newRow("cut by the right edge") << kLongName << false << true;
        QTest::newRow("start scrolled out of sight") << kLongName << true << true;
        QTest::newRow("whole") << QStringLiteral("Short") << false << false;
    }

    void partlyHiddenItemShowsItsNameInATooltip() {
        QFETCH(QString, name);
        QFETCH(bool, scrolledRight);
        QFETCH(bool, tooltip);
        vsstest::DatabaseWriter writer(dir->path() / "db");
        writer.AddProject(writer.Root(), kLongName.toStdString());
        writer.AddProject(writer.Root(), "Short");
        writer.Write();
        Start();
        QVERIFY(Browse(QString::fromStdString(writer.IniPath().string())));
        QTreeWidgetItem* node = Child(tree()->topLevelItem(0), name);
        QVERIFY(node != nullptr);
        QScrollBar* bar = tree()->horizontalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);  // the long name is wider than the view
        bar->setValue(scrolledRight ? bar->maximum() : 0);
        const QRect shown = Label(node).intersected(tree()->viewport()->rect());
        QVERIFY(!shown.isEmpty());
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, shown.center(),
                        tree()->viewport()->mapToGlobal(shown.center()));
        QApplication::sendEvent(tree()->viewport(), &help);
        QCOMPARE(QToolTip::isVisible(), tooltip);
        if (tooltip) {
            QCOMPARE(QToolTip::text(), name);
            if (!scrolledRight) {
                for (QWidget* tip : QApplication::topLevelWidgets()) {
                    if (tip->inherits("QTipLabel")) {
                        QVERIFY(QTest::qWaitForWindowExposed(tip));
                    }
                }
                varnotte::test::SaveScreenAround(dialog.get(), QStringLiteral("tree-tooltip"));
            }
        }
        QToolTip::hideText();
    }

    void starKeyDoesNotExpandEverything() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start();
        QVERIFY(Browse(ini));
        QTreeWidgetItem* project = tree()->topLevelItem(0)->child(0);
        Expand(project);
        QSignalSpy expansions(tree(), &QTreeWidget::itemExpanded);
        tree()->setCurrentItem(tree()->topLevelItem(0));
        tree()->setFocus();
        QTest::keyClick(tree(), Qt::Key_Asterisk);
        tree()->expandAll();
        QCOMPARE(expansions.count(), 0);
    }

    void enterInThePasswordBoxLogsInAgain() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start(QStringLiteral("Dhaval"));
        QTest::keyClicks(edit(IDC_PASSWORD), QStringLiteral("dhaval"));
        QVERIFY(Browse(ini));
        QTreeWidgetItem* root = tree()->topLevelItem(0);

        // A wrong password: nothing is shown, and the tree keeps working on its connection.
        edit(IDC_PASSWORD)->clear();
        QTest::keyClicks(edit(IDC_PASSWORD), QStringLiteral("wrong"));
        QTest::keyClick(edit(IDC_PASSWORD), Qt::Key_Return);
        QCOMPARE(tree()->topLevelItem(0), root);
        Expand(root->child(0));
        QCOMPARE(root->child(0)->childCount(), 40);

        // The right one reconnects: the tree is rebuilt from the root, whose expansion now
        // asks the export question, as every expansion after the very first does.
        edit(IDC_PASSWORD)->clear();
        QTest::keyClicks(edit(IDC_PASSWORD), QStringLiteral("dhaval"));
        // The opening shows the wait cursor; the question that follows does not.
        bool waitCursorDuringQuestion = true;
        answerer->Expect([&waitCursorDuringQuestion](QWidget* modal) {
            waitCursorDuringQuestion = QApplication::overrideCursor() != nullptr;
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel)->click();
        });
        QTest::keyClick(edit(IDC_PASSWORD), Qt::Key_Enter);
        QVERIFY(!waitCursorDuringQuestion);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(tree()->topLevelItem(0) != root);
        QCOMPARE(tree()->topLevelItem(0)->childCount(), 1);
        QVERIFY(dialog->isVisible());
    }

    void enterElsewhereDoesNothingAndEscNeverCloses() {
        VARNOTTE_QFIXTURE_INI(ini, "small-edits");
        int result = 12345;
        QTimer::singleShot(0, this, [&] {
            QTest::keyClicks(edit(IDC_USER_NAME), QStringLiteral("Admin"));
            QVERIFY(Browse(ini));
            QTreeWidgetItem* root = tree()->topLevelItem(0);
            tree()->setFocus();
            QTest::keyClick(tree(), Qt::Key_Return);
            QTest::keyClick(item(IDOK), Qt::Key_Return);
            QTest::keyClick(item(IDC_OUTPUT_HISTORY), Qt::Key_Enter);
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            QTest::keyClick(item(IDC_USER_NAME), Qt::Key_Escape);
            QVERIFY(dialog->isVisible());
            QCOMPARE(tree()->topLevelItem(0), root);
            QTest::mouseClick(item(IDOK), Qt::LeftButton);
        });
        result = dialog->exec();
        QCOMPARE(result, int(QDialog::Accepted));
    }

    void closeBoxEndsWithOk() {
        QTimer::singleShot(0, this, [&] { dialog->close(); });
        QCOMPARE(dialog->exec(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
    }

    void failedBrowseShowsTheMessageAndKeepsTheTree() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start(QStringLiteral("Dhaval"));
        QTest::keyClicks(edit(IDC_PASSWORD), QStringLiteral("dhaval"));
        QVERIFY(Browse(ini));
        QTreeWidgetItem* root = tree()->topLevelItem(0);

        edit(IDC_PASSWORD)->clear();
        QTest::keyClicks(edit(IDC_PASSWORD), QStringLiteral("wrong"));
        const QString statusBefore = qobject_cast<QLabel*>(item(IDC_STATUS))->text();
        QString text;
        QString caption;
        answerer->ExpectFileDialog(ini);
        answerer->ExpectMessageBox(QMessageBox::Ok, &text, &caption);
        dialog->OnBrowse();
        QCOMPARE(text, kOpenFailedText);
        QCOMPARE(caption, kOpenFailedCaption);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Varnotte - ") + ini);
        QCOMPARE(dialog->m_databaseList.count(), 1);
        QCOMPARE(tree()->topLevelItem(0), root);
        QCOMPARE(qobject_cast<QLabel*>(item(IDC_STATUS))->text(), statusBefore);
        Expand(root->child(0));
        QCOMPARE(root->child(0)->childCount(), 40);

        // A file that is no database at all gives the same message.
        const QString notIni = QString::fromStdString((dir->path() / "notes.ini").string());
        QFile(notIni).open(QIODevice::WriteOnly);
        answerer->ExpectFileDialog(notIni);
        answerer->ExpectMessageBox(QMessageBox::Ok, &text);
        dialog->OnBrowse();
        QCOMPARE(text, kOpenFailedText);
        QCOMPARE(tree()->topLevelItem(0), root);
    }

    void cancelledBrowseChangesNothing() {
        Start();
        QStringList seen;
        answerer->ExpectFileDialogCancel(&seen);
        dialog->OnBrowse();
        QCOMPARE(seen.value(0), QStringLiteral("Open Database"));
        QCOMPARE(seen.value(1), QStringLiteral("VSS Databases (srcsafe.ini)"));
        QCOMPARE(seen.value(3), QStringLiteral("VSS Databases (srcsafe.ini) (*.ini)"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Varnotte"));
        QCOMPARE(tree()->topLevelItemCount(), 0);
    }

    void stopEndsALongWalkAndReenablesTheControls() {
        const QString ini = WriteBigDatabase(3000);
        Start();
        QVERIFY(Browse(ini));
        QTreeWidgetItem* big = tree()->topLevelItem(0)->child(0);
        QCOMPARE(big->text(0), QStringLiteral("Big"));
        bool sawRunningState = false;
        Expand(big, QMessageBox::Cancel, [&] {
            sawRunningState = item(IDC_STOP)->isEnabled() && !item(IDOK)->isEnabled() &&
                              !item(IDC_BROWSE)->isEnabled() && !tree()->isEnabled() &&
                              state->exportRunning == 1;
            QTest::mouseClick(item(IDC_STOP), Qt::LeftButton);
        });
        QVERIFY(sawRunningState);
        QVERIFY(big->childCount() > 0);
        QVERIFY(big->childCount() < 3001);
        QVERIFY(!item(IDC_STOP)->isEnabled());
        for (const int id : {IDOK, IDC_BROWSE, IDC_USER_NAME, IDC_PASSWORD, IDC_OUTPUT_HISTORY}) {
            QVERIFY(item(id)->isEnabled());
        }
        QVERIFY(tree()->isEnabled());
        QCOMPARE(state->exportRunning, 0);
    }

    // Stop while a database opens, from "..." or from Enter in the password box: the
    // opening ends with no database at all, as after a failed open, and no message.
    void stopDuringTheOpenLeavesNoDatabase_data() {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("...") << false;
        QTest::newRow("Enter") << true;
    }

    void stopDuringTheOpenLeavesNoDatabase() {
        QFETCH(bool, byEnter);
        // Stop comes while the root's first level is shown early: a few files will do.
        const QString ini = WriteBigDatabase(200);
        VARNOTTE_QFIXTURE_INI(before, "small-edits");
        Start();
        QVERIFY(Browse(before));
        auto* status = qobject_cast<QLabel*>(item(IDC_STATUS));
        QString statusWhenStopped;
        bool runningState = false;
        QTimer stopper;
        connect(&stopper, &QTimer::timeout, this, [&] {
            if (!tree()->IsLoading()) {
                return;
            }
            stopper.stop();
            statusWhenStopped = status->text();
            runningState = item(IDC_STOP)->isEnabled() && !item(IDOK)->isEnabled() &&
                           !item(IDC_BROWSE)->isEnabled() && !item(IDC_PASSWORD)->isEnabled() &&
                           !tree()->isEnabled();
            QTest::mouseClick(item(IDC_STOP), Qt::LeftButton);
        });
        stopper.start(0);
        if (byEnter) {
            dialog->m_databaseList.Select(dialog->m_databaseList.Add(ini));
            QTest::keyClick(edit(IDC_PASSWORD), Qt::Key_Return);
        } else {
            answerer->ExpectFileDialog(ini);
            dialog->OnBrowse();
        }
        QVERIFY(!stopper.isActive());
        QVERIFY(runningState);
        QVERIFY2(statusWhenStopped.contains(QDir::toNativeSeparators(ini)),
                 qPrintable(statusWhenStopped));
        QVERIFY(tree()->WasStopped());
        QCOMPARE(status->text(), QString());  // it reads nothing now
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QVERIFY(tree()->m_pDatabase.IsEmpty());
        QCOMPARE(dialog->m_databaseList.selectedIndex(), -1);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Varnotte"));
        QVERIFY(!item(IDC_STOP)->isEnabled());
        for (const int id : {IDOK, IDC_BROWSE, IDC_USER_NAME, IDC_PASSWORD, IDC_OUTPUT_HISTORY}) {
            QVERIFY(item(id)->isEnabled());
        }
        QVERIFY(tree()->isEnabled());
        // Nothing of the stopped opening lingers: the next one goes through, and its root
        // asks the question that the stopped one never came to.
        answerer->ExpectFileDialog(ini);
        answerer->ExpectMessageBox(QMessageBox::Cancel);
        dialog->OnBrowse();
        QCOMPARE(answerer->pending(), 0);
        QCOMPARE(tree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("Big"));
    }

    // The root's names are shown while the logs that decide the code page are still being
    // read, in the code page the names point to; when the logs decide otherwise, the
    // names are read again: the tree never shows a name other than the export writes.
    void namesShownEarlyAreReadAgainInTheDecidedCodePage() {
        vsstest::DatabaseWriter writer(dir->path() / "misleading");
        writer.AddProject(writer.Root(), "\xE9t\xE9");  // "été" in CP1252, if anything
        const vsstest::ItemId deep = writer.AddProject(writer.AddProject(writer.Root(), "p"), "q");
        for (int i = 0; i < 20; ++i) {
            const vsstest::ItemId file = writer.AddFile(deep, "f" + std::to_string(i));
            writer.CheckIn(file,
                           vsstest::Stamp{.comment = vsstest::EncodeInCodePage(
                                              "日本語の説明です。変更の理由を書きました。", 932)});
        }
        writer.Write();
        const QString ini = QString::fromStdString(writer.IniPath().string());
        Start();
        auto* status = qobject_cast<QLabel*>(item(IDC_STATUS));
        QString shownEarly;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (tree()->IsLoading() && status->text().contains(QStringLiteral(" / ")) &&
                tree()->topLevelItemCount() == 1 && tree()->topLevelItem(0)->childCount() == 2) {
                watch.stop();
                shownEarly = tree()->topLevelItem(0)->child(1)->text(0);
            }
        });
        watch.start(0);
        QVERIFY(Browse(ini));
        // Children come in the database's order, "p" first.
        QCOMPARE(shownEarly, QStringLiteral("été"));
        QCOMPARE(tree()->topLevelItem(0)->child(1)->text(0), QStringLiteral("\u9A01\uFFFD"));
    }

    // Stop enables "..." at once; a click on it while the walk unwinds opens the other
    // database only once the walk has ended.
    void browseRightAfterStopWaitsForTheWalkToEnd() {
        const QString ini = WriteBigDatabase(3000);
        VARNOTTE_QFIXTURE_INI(other, "small-edits");
        Start();
        QVERIFY(Browse(ini));
        QTreeWidgetItem* big = tree()->topLevelItem(0)->child(0);
        bool walkOver = false;
        answerer->Expect([&](QWidget* modal) {  // the question: Cancel, then the clicks
            QTimer::singleShot(0, [&] {
                QTest::mouseClick(item(IDC_STOP), Qt::LeftButton);
                QTest::mouseClick(item(IDC_BROWSE), Qt::LeftButton);
            });
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel)->click();
        });
        answerer->Expect([&](QWidget* modal) {
            walkOver = !tree()->IsLoading();
            ModalAnswerer::AnswerFileDialog(qobject_cast<QFileDialog*>(modal), other);
        });
        answerer->ExpectMessageBox(QMessageBox::Cancel);  // the new root's question
        big->setExpanded(true);
        QTRY_COMPARE(answerer->pending(), 0);
        QVERIFY(walkOver);
        QCOMPARE(tree()->topLevelItem(0)->child(0)->text(0),
                 QStringLiteral("esign-java-authenticator"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Varnotte - ") + other);
    }

    // Closing while "..." is still loading the database it opened: the database is
    // recorded first, so the settings saved on closing have it.
    void closingWhileADatabaseOpensKeepsIt() {
        vsstest::DatabaseWriter writer(dir->path() / "wide");
        for (int i = 0; i < 3000; ++i) {
            writer.AddFile(writer.Root(), "file" + std::to_string(i) + ".txt");
        }
        writer.Write();
        const QString ini = QString::fromStdString(writer.IniPath().string());
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (tree()->IsLoading()) {
                closer.stop();
                dialog->close();
            }
        });
        QTimer::singleShot(0, this, [&] {
            QTest::keyClicks(edit(IDC_USER_NAME), QStringLiteral("Admin"));
            closer.start(0);
            answerer->ExpectFileDialog(ini);
            dialog->OnBrowse();
        });
        // What the settings would be saved from, as the dialog ends.
        QString pathAtClose;
        int listedAtClose = -1;
        connect(dialog.get(), &QDialog::finished, this, [&] {
            pathAtClose = dialog->m_databasePath;
            listedAtClose = dialog->m_databaseList.count();
        });
        QCOMPARE(dialog->exec(), int(QDialog::Accepted));
        QVERIFY(!closer.isActive());
        QCOMPARE(pathAtClose, ini);
        QCOMPARE(listedAtClose, 1);
    }

    void closingDuringAWalkStopsItAndEndsTheDialog() {
        const QString ini = WriteBigDatabase(3000);
        int childrenWhenClosed = -1;
        QTimer::singleShot(0, this, [&] {
            QTest::keyClicks(edit(IDC_USER_NAME), QStringLiteral("Admin"));
            QVERIFY(Browse(ini));
            QTreeWidgetItem* big = tree()->topLevelItem(0)->child(0);
            Expand(big, QMessageBox::Ok,
                   [&] { dialog->close(); });  // returns once the walk has stopped
            childrenWhenClosed = big->childCount();
        });
        QCOMPARE(dialog->exec(), int(QDialog::Accepted));
        QVERIFY(childrenWhenClosed >= 0);
        QVERIFY(childrenWhenClosed < 3001);
        QVERIFY(!dialog->isVisible());
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    DialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialog_test.moc"
