// Exports from the tree, driven through the real dialog: the question, the walk, the
// save dialog and the file, checked against what varnotte-csv writes.
#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>

#include "testing/damage.h"
#include "testing/database_writer.h"
#include "tests/support/csv_parse.h"
#include "tests/support/csv_program.h"
#include "tests/support/file_access.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/dialog_test_base.h"
#include "tests/ui/gui_test_support.h"
#include "tree/control_ids.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"
#include "ui/qt_translations.h"

using namespace varnotte;
using varnotte::test::CsvRecord;
using varnotte::test::ModalAnswerer;

namespace {

const QString kQuestion = QStringLiteral("このフォルダ下をCSVに出力しますか？");

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<CsvRecord> Records(const QByteArray& bytes) {
    return varnotte::test::ParseCsv(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QByteArray RunCsv(const QStringList& arguments) {
    return QByteArray::fromStdString(varnotte::test::RunCsv(arguments).out);
}

}  // namespace

class ExportTest : public varnotte::test::DialogTestBase {
    Q_OBJECT

  private:
    std::unique_ptr<varnotte::test::TempDir> dir;

    QString Path(const char* name) const {
        return QString::fromStdString((dir->path() / name).string());
    }

    void Start(bool history, const QString& user = QStringLiteral("Admin")) {
        QVERIFY(dialog->OnInitDialog());
        dialog->show();
        QTest::keyClicks(qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_USER_NAME)), user);
        if (history) {
            QTest::mouseClick(dialog->GetDlgItem(IDC_OUTPUT_HISTORY), Qt::LeftButton, {},
                              QPoint(4, 4));
        }
        QCOMPARE(*state->historyFlag, history ? 1 : 0);
    }

    void Browse(const QString& ini) {
        answerer->ExpectFileDialog(ini);
        dialog->OnBrowse();
        QCOMPARE(answerer->pending(), 0);
        QCOMPARE(tree()->topLevelItemCount(), 1);
    }

    // Answers the question with OK, then saves to `target`.
    void ExpectExportTo(const QString& target, std::function<void()> duringWalk = {}) {
        answerer->Expect([duringWalk](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->text(), kQuestion);
            if (duringWalk) {
                QTimer::singleShot(0, duringWalk);
            }
            box->button(QMessageBox::Ok)->click();
        });
        answerer->ExpectFileDialog(target);
    }

    // A written database with a comment that needs quoting and a project with nothing in it.
    QString WriteDatabase(bool damageOne = false, int extraFiles = 0) {
        vsstest::DatabaseWriter writer(dir->path() / "db");
        const vsstest::ItemId a = writer.AddProject(writer.Root(), "A");
        const vsstest::ItemId file =
            writer.AddFile(a, "b.txt", vsstest::Stamp{"Admin", 1000000000, "first"});
        writer.CheckIn(file, vsstest::Stamp{"Admin", 1000000100, "said \"hello\",\r\nthen left"});
        writer.CheckIn(file, vsstest::Stamp{"Admin", 1000000200, {}});
        writer.AddProject(a, "C");
        const vsstest::ItemId broken = writer.AddFile(a, "broken.txt");
        writer.AddFile(writer.Root(), "top.txt");
        for (int i = 0; i < extraFiles; ++i) {
            writer.AddFile(a, "extra" + std::to_string(i) + ".txt");
        }
        writer.Write();
        if (damageOne) {
            vsstest::TruncateFile(writer.LogPath(broken), 100);
        }
        return QString::fromStdString(writer.IniPath().string());
    }

  private slots:
    void init() {
        CreateDialog();
        dir = std::make_unique<varnotte::test::TempDir>();
        std::filesystem::permissions(dir->path(), std::filesystem::perms::all,
                                     std::filesystem::perm_options::add);
    }

    void cleanup() {
        DestroyDialog();
        dir.reset();
    }

    void firstDatabaseAsksNothingAndSavesNothing() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start(false);
        Browse(ini);  // the answerer would fail the test on any question or save dialog
        QCOMPARE(answerer->answered(), 1);
        QVERIFY(tree()->m_csvRows.empty());  // no export: nothing gathered, nothing saved
    }

    void okExportsEverythingBelowTheNodeAndNothingForIt() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start(false);
        Browse(ini);
        QStringList saveDialog;
        answerer->ExpectMessageBox(QMessageBox::Ok);
        answerer->Expect([&](QWidget* modal) {
            auto* save = qobject_cast<QFileDialog*>(modal);
            QVERIFY(save != nullptr);
            saveDialog =
                QStringList{save->windowTitle(), save->defaultSuffix(),
                            save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text()};
            QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));
            QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
            ModalAnswerer::AnswerFileDialog(save, Path("all.csv"));
        });
        Node({QStringLiteral("Invetory Shaili")})->setExpanded(true);
        QCOMPARE(saveDialog, (QStringList{QStringLiteral("CSV形式で保存"), QString(), QString()}));
        const auto records = Records(ReadFile(Path("all.csv")));
        QCOMPARE(records.size(), std::size_t{59 + 375});
        for (const CsvRecord& record : records) {
            QCOMPARE(record.size(), std::size_t{2});
            QVERIFY(record[0].rfind("$/Invetory Shaili/", 0) == 0);
        }
        // The whole subtree is in the tree now, as far as the walk went: everything.
        QVERIFY(Node({QStringLiteral("Invetory Shaili"), QStringLiteral("EmailCaptureSource Dll"),
                      QStringLiteral("HigLabo.Mail")}) != nullptr);
    }

    void historyGivesEachFilesVersionsBeforeItsOwnRow() {
        const QString ini = WriteDatabase();
        Start(true);
        Browse(ini);
        ExpectExportTo(Path("a.csv"));
        Node({QStringLiteral("A")})->setExpanded(true);
        const QByteArray bytes = ReadFile(Path("a.csv"));
        const auto records = Records(bytes);
        QCOMPARE(records.size(), std::size_t{3 + 1 + 1 + 1 + 1});
        QCOMPARE(records[0], (CsvRecord{"$/A/b.txt", "3", "Admin", "Checked in $/A",
                                        "2001/09/09 01:50:00", ""}));
        QCOMPARE(records[1], (CsvRecord{"$/A/b.txt", "2", "Admin", "Checked in $/A",
                                        "2001/09/09 01:48:20", "said \"hello\",\r\nthen left"}));
        QCOMPARE(records[2][1], std::string("1"));
        QCOMPARE(records[3], (CsvRecord{"$/A/b.txt", "3"}));
        // The comment's line break is one CR LF in the file; its quotes are doubled.
        QVERIFY(bytes.contains("\"said \"\"hello\"\",\r\nthen left\"\r\n"));
        QCOMPARE(records[4],
                 (CsvRecord{"$/A/broken.txt", "1", "Admin", "Created", "2006/01/01 12:00:00", ""}));
        QCOMPARE(records[6], (CsvRecord{"$/A/C", "1"}));
    }

    void cancelLoadsOneLevelAndSavesNothing() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start(false);
        Browse(ini);
        answerer->ExpectMessageBox(QMessageBox::Cancel);
        QTreeWidgetItem* project = Node({QStringLiteral("Invetory Shaili")});
        project->setExpanded(true);
        QCOMPARE(project->childCount(), 40);
        QCOMPARE(
            Node({QStringLiteral("Invetory Shaili"), QStringLiteral("64bitApp")})->childCount(), 0);
        QCOMPARE(state->exportConfirmed, 0);
        QVERIFY(tree()->m_csvRows.empty());  // answered Cancel: no rows are gathered
        // Collapsing asks nothing.
        project->setExpanded(false);
        QVERIFY(tree()->m_csvRows.empty());
    }

    void secondOpeningAsksAtTheRootAndOkExportsTheDatabase() {
        VARNOTTE_QFIXTURE_INI(ini, "small-edits");
        Start(true);
        Browse(ini);
        answerer->ExpectFileDialog(ini);
        ExpectExportTo(Path("root.csv"));
        dialog->OnBrowse();
        QCOMPARE(ReadFile(Path("root.csv")), RunCsv({QStringLiteral("--history"), ini}));
    }

    void dialogFileEqualsTheHeadlessExportByteForByte() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Start(true);
        Browse(ini);
        answerer->ExpectMessageBox(QMessageBox::Cancel);
        Node({QStringLiteral("Invetory Shaili")})->setExpanded(true);
        ExpectExportTo(Path("gui.csv"));
        QTreeWidgetItem* node =
            Node({QStringLiteral("Invetory Shaili"), QStringLiteral("Inventory Shaili")});
        QVERIFY(node != nullptr);
        node->setExpanded(true);
        const QByteArray fromDialog = ReadFile(Path("gui.csv"));
        QVERIFY(!fromDialog.isEmpty());
        QCOMPARE(fromDialog, RunCsv({QStringLiteral("--history"), ini,
                                     QStringLiteral("$/Invetory Shaili/Inventory Shaili")}));
    }

    void emptyProjectWritesAnEmptyFile() {
        const QString ini = WriteDatabase();
        Start(false);
        Browse(ini);
        answerer->ExpectMessageBox(QMessageBox::Cancel);
        Node({QStringLiteral("A")})->setExpanded(true);
        ExpectExportTo(Path("empty.csv"));
        Node({QStringLiteral("A"), QStringLiteral("C")})->setExpanded(true);
        QVERIFY(QFile::exists(Path("empty.csv")));
        QCOMPARE(QFile(Path("empty.csv")).size(), 0);
    }

    void stopMidWalkSavesTheRowsSoFar() {
        const QString ini = WriteDatabase(false, 2000);
        Start(false);
        Browse(ini);
        ExpectExportTo(Path("partial.csv"),
                       [this] { QTest::mouseClick(dialog->GetDlgItem(IDC_STOP), Qt::LeftButton); });
        Node({QStringLiteral("A")})->setExpanded(true);
        const auto records = Records(ReadFile(Path("partial.csv")));
        QVERIFY(!records.empty());
        QVERIFY(records.size() < 2004);
        QCOMPARE(records.size(), std::size_t(Node({QStringLiteral("A")})->childCount()));
    }

    void unreadableItemsAreReportedAndTheRestIsSaved() {
        const QString ini = WriteDatabase(true);
        Start(true);
        Browse(ini);
        QString warning;
        QString caption;
        answerer->ExpectMessageBox(QMessageBox::Ok);
        answerer->ExpectMessageBox(QMessageBox::Ok, &warning, &caption);
        answerer->ExpectFileDialog(Path("rest.csv"));
        Node({QStringLiteral("A")})->setExpanded(true);
        QCOMPARE(caption, QStringLiteral("Varnotte"));
        QVERIFY2(warning.contains(QStringLiteral("1 件")), qPrintable(warning));
        QVERIFY2(warning.contains(QStringLiteral("$/A/broken.txt")), qPrintable(warning));
        const auto records = Records(ReadFile(Path("rest.csv")));
        QCOMPARE(records.size(), std::size_t{3 + 1 + 1});
        for (const CsvRecord& record : records) {
            QVERIFY(record[0] != "$/A/broken.txt");
        }
    }

    void unwritableTargetIsExplainedAndTheDialogComesBack() {
        const QString ini = WriteDatabase();
        Start(false);
        Browse(ini);
        std::filesystem::create_directories(dir->path() / "locked");
        std::filesystem::permissions(
            dir->path() / "locked",
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
        QString message;
        QString caption;
        ExpectExportTo(Path("locked/out.csv"));
        answerer->ExpectMessageBox(QMessageBox::Ok, &message, &caption);
        answerer->ExpectFileDialog(Path("out.csv"));
        {
            const varnotte::test::AsOrdinaryUser user;
            Node({QStringLiteral("A")})->setExpanded(true);
        }
        QCOMPARE(caption, QStringLiteral("Varnotte"));
        QVERIFY2(message.contains(Path("locked/out.csv")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("書き込む権限がありません。")),
                 qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("denied")), qPrintable(message));
        QVERIFY(!QFile::exists(Path("locked/out.csv")));
        QCOMPARE(Records(ReadFile(Path("out.csv"))).size(), std::size_t{3});
    }

    void savingOverAFileAsksFirst() {
        const QString ini = WriteDatabase();
        Start(false);
        Browse(ini);
        QFile old(Path("old.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        QString question;
        QString yes;
        ExpectExportTo(Path("old.csv"));
        answerer->Expect([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            question = box->text();
            yes = box->button(QMessageBox::Yes)->text();
            box->button(QMessageBox::Yes)->click();
        });
        Node({QStringLiteral("A")})->setExpanded(true);
        // Qt's own question speaks the window's language.
        QVERIFY2(question.contains(QStringLiteral("old.csv")), qPrintable(question));
        QVERIFY2(question.contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30FF}]"))),
                 qPrintable(question));
        QVERIFY2(!question.contains(QStringLiteral("already exists")), qPrintable(question));
        QVERIFY2(!yes.contains(QStringLiteral("Yes")), qPrintable(yes));
        QCOMPARE(Records(ReadFile(Path("old.csv"))).size(), std::size_t{3});
    }

    // The save dialog lists a folder's files wholly in Japanese: their type, size and date
    // too, which Qt's catalogue lacks or the system's locale writes.
    void saveDialogListsFilesInJapanese_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("folder's type") << QStringLiteral("db") << 2 << QStringLiteral("^フォルダ$");
        QTest::newRow("file's type")
            << QStringLiteral("old.csv") << 2 << QStringLiteral("^csv ファイル$");
        QTest::newRow("size") << QStringLiteral("old.csv") << 1 << QStringLiteral("^3 バイト$");
        QTest::newRow("date") << QStringLiteral("old.csv") << 3 << QStringLiteral("^[0-9/: ]+$");
    }

    void saveDialogListsFilesInJapanese() {
        QFETCH(QString, name);
        QFETCH(int, column);
        QFETCH(QString, pattern);
        QFile old(Path("old.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        const QString ini = WriteDatabase();
        Start(false);
        Browse(ini);
        QString shown;
        answerer->ExpectMessageBox(QMessageBox::Ok);
        answerer->Expect([&](QWidget* modal) {
            auto* save = qobject_cast<QFileDialog*>(modal);
            QVERIFY(save != nullptr);
            save->setDirectory(Path(""));
            auto* view = save->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(view != nullptr);
            const auto find = [&] {
                const QAbstractItemModel* files = view->model();
                const QModelIndex first = files->index(0, 0, view->rootIndex());
                return first.isValid()
                           ? files->match(first, Qt::DisplayRole, name, 1, Qt::MatchExactly)
                                 .value(0)
                           : QModelIndex();
            };
            QTRY_VERIFY(find().isValid());  // the files are listed by a thread of Qt's
            shown = find().siblingAtColumn(column).data().toString();
            save->reject();
        });
        Node({QStringLiteral("A")})->setExpanded(true);
        QVERIFY2(QRegularExpression(pattern).match(shown).hasMatch(), qPrintable(shown));
    }

    void cancelledSaveWritesNothing() {
        const QString ini = WriteDatabase();
        Start(false);
        Browse(ini);
        answerer->ExpectMessageBox(QMessageBox::Ok);
        answerer->ExpectFileDialogCancel();
        Node({QStringLiteral("A")})->setExpanded(true);
        QCOMPARE(QDir(QString::fromStdString(dir->path().string())).entryList(QDir::Files).size(),
                 0);
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    varnotte::InstallQtJapanese(application);
    ExportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "export_test.moc"
