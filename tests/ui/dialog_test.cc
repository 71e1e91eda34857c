// The main dialog driven as a user drives it, offscreen, against real and written databases.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSizeGrip>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

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

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == name) {
            return parent->child(i);
        }
    }
    return nullptr;
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

    void controlsSitWhereTheTemplatePutsThem() {
        const DialogBaseUnits base = dialog->baseUnits();
        QVERIFY(base.width > 0 && base.height > 0);
        for (const ControlTemplate& control : kControls) {
            if (control.id != 0) {
                QCOMPARE(item(control.id)->geometry(), DialogUnitsToPixels(control.units, base));
            }
        }
        QCOMPARE(dialog->size(),
                 DialogUnitsToPixels(QRect(QPoint(0, 0), kDialogSizeUnits), base).size());
        // Tab order: user name, password, "...", tree, Stop, Exit, history.
        for (std::size_t i = 1; i < std::size(kTabOrder); ++i) {
            QCOMPARE(NextTabStop(item(kTabOrder[i - 1])), item(kTabOrder[i]));
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
        QCOMPARE(project->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
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
        QCOMPARE(sub->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        QTreeWidgetItem* file = Child(project, QStringLiteral("Docsvault SB 6.0.sln"));
        QVERIFY(file != nullptr);
        QCOMPARE(file->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
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
        dialog->resize(CBrelwickDlg::kMinimumSize);
        QTRY_COMPARE(dialog->size(), CBrelwickDlg::kMinimumSize);
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

    void projectOfFilesOnlyLosesItsExpandButtonAndExpandingAgainReloads() {
        VARNOTTE_QFIXTURE_INI(ini, "small-edits");
        Start();
        QVERIFY(Browse(ini));
        QTreeWidgetItem* project = tree()->topLevelItem(0)->child(0);
        QCOMPARE(project->text(0), QStringLiteral("esign-java-authenticator"));
        Expand(project);
        QCOMPARE(project->childCount(), 2);
        QCOMPARE(project->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
        // Marked, so that a reload shows (a new item may reuse the old one's address).
        project->child(0)->setText(0, QStringLiteral("first load"));
        project->setExpanded(false);         // collapsing asks nothing
        QCOMPARE(project->childCount(), 2);  // and changes nothing
        QCOMPARE(project->child(0)->text(0), QStringLiteral("first load"));
        Expand(project);
        QCOMPARE(project->childCount(), 2);  // reloaded from the database:
        QCOMPARE(project->child(0)->text(0), QStringLiteral("clingBling.txt"));
        QCOMPARE(project->child(1)->text(0), QStringLiteral("Le.txt"));
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
        QCOMPARE(project->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

        vsstest::WriteWholeFile(list, bytes);
        project->setExpanded(false);
        Expand(project);
        QCOMPARE(project->childCount(), 1);
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
        answerer->ExpectMessageBox(QMessageBox::Cancel);
        QTest::keyClick(edit(IDC_PASSWORD), Qt::Key_Enter);
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
        QCOMPARE(seen.value(1), QStringLiteral("VSS Databases (srcsafe.ini) (*.ini)"));
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
