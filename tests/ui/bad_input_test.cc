// The dialog given what a user may paste or pick: odd user names and passwords, save paths
// that cannot be written or that lie in the database itself, and a database that another
// client changes during an export. No crash, the right message, nothing lost.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "testing/code_page_words.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/csv_parse.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"
#include "tests/ui/dialog_test_base.h"
#include "tests/ui/gui_test_support.h"
#include "tree/control_ids.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"

using namespace varnotte;
using varnotte::test::ModalAnswerer;
namespace fs = std::filesystem;

namespace {

const QString kOpenFailedText =
    QStringLiteral("ID及び、PWが正しい事とご利用のIDが正しい利用権限があることを確認下さい。");

using varnotte::test::Q;

std::string Sjis(const char* utf8) {
    return vsstest::EncodeInCodePage(utf8, 932);
}

}  // namespace

class BadInputTest : public varnotte::test::DialogTestBase {
    Q_OBJECT

  private:
    std::unique_ptr<varnotte::test::TempDir> dir;
    QString westernIni;
    QString japaneseIni;
    vsstest::ItemId lateFile = 0;
    fs::path lateLog;
    vsstest::ItemId bFile = 0;
    fs::path bData;

    // Replaces the box's text as pasting does (the dialog hears of it as an edit).
    static void Paste(QLineEdit* box, const QString& text) {
        box->selectAll();
        QApplication::clipboard()->setText(text);
        box->paste();
        if (text.isEmpty()) {
            box->del();
        }
    }

    // The database list remembers `ini`, as after an earlier "...".
    void Remember(const QString& ini) {
        dialog->m_databaseList.Select(dialog->m_databaseList.Add(ini));
    }

    void Start() {
        QVERIFY(dialog->OnInitDialog());
        dialog->show();
    }

  private slots:
    void initTestCase() {
        dir = std::make_unique<varnotte::test::TempDir>();
        {
            vsstest::DatabaseWriter writer(dir->path() / "western");
            const vsstest::ItemId p = writer.AddProject(writer.Root(), "P");
            bFile = writer.AddFile(p, "b.txt");
            lateFile = writer.AddFile(writer.Root(), "z.txt");
            writer.AddUser("Tanaka", "?");
            writer.AddUser("Smith", "secret");
            writer.Write();
            westernIni = Q(writer.IniPath());
            lateLog = writer.LogPath(lateFile);
            bData = writer.DataPath(bFile);
        }
        {
            vsstest::DatabaseWriter writer(dir->path() / "japanese");
            for (const std::string& word : vsstest::NonAsciiWords(932)) {
                writer.AddProject(writer.Root(), word);
            }
            writer.AddUser(Sjis("田中"), Sjis("ぱすわーど"));
            writer.Write();
            japaneseIni = Q(writer.IniPath());
        }
    }

    void cleanupTestCase() { dir.reset(); }

    void init() { CreateDialog(); }

    void cleanup() { DestroyDialog(); }

    void loginBoxes_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("opens");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("plain") << false << "Smith"
                               << "secret" << true;
        QTest::newRow("password in other letter case") << false << "smith"
                                                       << "SeCrEt" << true;
        QTest::newRow("user of 100000 characters")
            << false << QString(100000, QLatin1Char('A')) << "" << false;
        QTest::newRow("password of 100000 characters")
            << false << "Admin" << QString(100000, QLatin1Char('x')) << false;
        QTest::newRow("tab after the user") << false << "Admin\t"
                                            << "" << false;
        QTest::newRow("line break in the user") << false << "Ad\nmin"
                                                << "" << false;
        QTest::newRow("NUL after the password")
            << false << "Smith" << QString::fromUtf8("secret\0", 7) << false;
        QTest::newRow("control characters in the password") << false << "Smith"
                                                            << "sec\r\n\x01ret" << false;
        QTest::newRow("Japanese password in a western database")
            << false << "Tanaka" << QStringLiteral("日本") << false;
        QTest::newRow("emoji password in a western database")
            << false << "Tanaka" << emoji << false;
        QTest::newRow("unpaired surrogate as the password")
            << false << "Tanaka" << QString(QChar(0xD800)) << false;
        QTest::newRow("Japanese user and password")
            << true << QStringLiteral("田中") << QStringLiteral("ぱすわーど") << true;
        QTest::newRow("emoji after a right Japanese password")
            << true << QStringLiteral("田中") << QStringLiteral("ぱすわーど") + emoji << false;
        QTest::newRow("emoji user in a Japanese database") << true << emoji << "" << false;
    }

    // "..." with the text in the boxes: the database opens, or the login failure message
    // shows and nothing opens.
    void loginBoxes() {
        QFETCH(bool, japanese);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, opens);
        Start();
        Paste(edit(IDC_USER_NAME), user);
        Paste(edit(IDC_PASSWORD), password);
        QCOMPARE(dialog->m_password, password.left(edit(IDC_PASSWORD)->maxLength()));
        QString text;
        answerer->ExpectFileDialog(japanese ? japaneseIni : westernIni);
        if (!opens) {
            answerer->ExpectMessageBox(QMessageBox::Ok, &text);
        }
        dialog->OnBrowse();
        QCOMPARE(answerer->pending(), 0);
        QCOMPARE(tree()->topLevelItemCount(), opens ? 1 : 0);
        QCOMPARE(text, opens ? QString() : kOpenFailedText);
    }

    void loginBoxesWithEnter_data() { loginBoxes_data(); }

    // Enter in either box with the same text: a failure leaves the open database and its
    // tree as they were and shows nothing; a success opens it again.
    void loginBoxesWithEnter() {
        QFETCH(bool, japanese);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, opens);
        Start();
        Paste(edit(IDC_USER_NAME), japanese ? QStringLiteral("田中") : QStringLiteral("Admin"));
        Paste(edit(IDC_PASSWORD), japanese ? QStringLiteral("ぱすわーど") : QString());
        Remember(japanese ? japaneseIni : westernIni);
        QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree()->topLevelItem(0);

        Paste(edit(IDC_USER_NAME), user);
        Paste(edit(IDC_PASSWORD), password);
        for (const int box : {IDC_USER_NAME, IDC_PASSWORD}) {
            if (opens) {
                answerer->ExpectMessageBox(QMessageBox::Cancel);  // the root's export question
            }
            QTest::keyClick(edit(box), Qt::Key_Return);
            QCOMPARE(answerer->pending(), 0);
            QCOMPARE(tree()->topLevelItemCount(), 1);
            QCOMPARE(tree()->topLevelItem(0) == root, !opens);
            root = tree()->topLevelItem(0);
        }
        QVERIFY(dialog->isVisible());
    }

    void unwritableSavePathsAskAgain_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        const fs::path database = dir->path() / "western";
        QTest::newRow("missing folder") << Q(dir->path() / "missing" / "out.csv")
                                        << QStringLiteral("保存先のフォルダがありません。");
        QTest::newRow("the database's srcsafe.ini")
            << westernIni
            << QStringLiteral("は出力元のデータベースの srcsafe.ini なので、書き込めません。");
        QTest::newRow("a log of the database")
            << Q(lateLog) << QStringLiteral("は出力元のデータベースのデータフォルダ ");
        QTest::newRow("a new file in the data folder")
            << Q(lateLog.parent_path().parent_path() / "export.csv")
            << QStringLiteral("は出力元のデータベースのデータフォルダ ");
        QTest::newRow("a new file in the users' folder")
            << Q(database / "users" / "report.csv")
            << QStringLiteral("は出力元のデータベースのユーザフォルダ ");
        QTest::newRow("the list of users")
            << Q(database / "users.txt")
            << QStringLiteral("は出力元のデータベースのユーザ一覧なので");
        // Refused at once, never waiting for a reader.
        if (!fs::exists(dir->path() / "pipe")) {
            ::mkfifo((dir->path() / "pipe").c_str(), 0600);
        }
        QTest::newRow("a pipe nobody reads")
            << Q(dir->path() / "pipe")
            << QStringLiteral("このパイプを読み出しているプログラムがありません。");
    }

    // The file cannot or may not be written: the message names it and why, the save
    // dialog comes back, and the database keeps every byte.
    void unwritableSavePathsAskAgain() {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        const fs::path database = dir->path() / "western";
        const varnotte::test::TreeSnapshot before = varnotte::test::SnapshotTree(database);
        Start();
        Paste(edit(IDC_USER_NAME), QStringLiteral("Admin"));
        answerer->ExpectFileDialog(westernIni);
        dialog->OnBrowse();
        QString message;
        answerer->ExpectMessageBox(QMessageBox::Ok);
        answerer->Expect([target](QWidget* modal) {
            auto* save = qobject_cast<QFileDialog*>(modal);
            QVERIFY(save != nullptr);
            // Overwriting asks first; the answer does not matter, the file is refused.
            QTimer::singleShot(0, [] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box != nullptr && box->button(QMessageBox::Yes) != nullptr) {
                    box->button(QMessageBox::Yes)->click();
                }
            });
            ModalAnswerer::AnswerFileDialog(save, target);
        });
        answerer->ExpectMessageBox(QMessageBox::Ok, &message);
        answerer->ExpectFileDialog(Q(dir->path() / "good.csv"));
        tree()->topLevelItem(0)->child(0)->setExpanded(true);
        QVERIFY2(message.startsWith(target), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QCOMPARE(message.count(QStringLiteral("別の場所を選んで下さい。")), 1);
        // In Japanese throughout: no two words of English in a row once the paths are gone.
        QString words = message;
        words.remove(target);
        words.remove(QRegularExpression(QStringLiteral("/\\S*")));
        QVERIFY2(!words.contains(QRegularExpression(QStringLiteral("[A-Za-z]+ [A-Za-z]+"))),
                 qPrintable(message));
        QCOMPARE(varnotte::test::ParseCsv(vsstest::ReadWholeFile(dir->path() / "good.csv")).size(),
                 std::size_t{1});
        fs::remove(dir->path() / "good.csv");
        const auto changes =
            varnotte::test::CompareSnapshots(before, varnotte::test::SnapshotTree(database), false);
        QVERIFY(changes.empty());
    }

    // A folder typed as the file name opens that folder in the save dialog.
    void folderAsSavePathOpensIt() {
        Start();
        Paste(edit(IDC_USER_NAME), QStringLiteral("Admin"));
        answerer->ExpectFileDialog(westernIni);
        dialog->OnBrowse();
        fs::create_directories(dir->path() / "folder");
        QString shown;
        answerer->ExpectMessageBox(QMessageBox::Ok);
        answerer->Expect([&](QWidget* modal) {
            auto* save = qobject_cast<QFileDialog*>(modal);
            QVERIFY(save != nullptr);
            ModalAnswerer::AnswerFileDialog(save, Q(dir->path() / "folder"));
            QVERIFY(save->isVisible());
            shown = save->directory().absolutePath();
            ModalAnswerer::AnswerFileDialog(save, Q(dir->path() / "folder" / "p.csv"));
        });
        tree()->topLevelItem(0)->child(0)->setExpanded(true);
        QCOMPARE(shown, Q(dir->path() / "folder"));
        QVERIFY(fs::exists(dir->path() / "folder" / "p.csv"));
    }

    // Another client breaks z.txt's log once the export has begun: the warning names it and
    // the rest is saved.
    void itemChangedDuringTheExportIsReported() {
        varnotte::test::TempDir copy;
        varnotte::test::CopyTree(dir->path() / "western", copy / "db");
        const fs::path log = copy / "db" / fs::relative(lateLog, dir->path() / "western");
        Start();
        Paste(edit(IDC_USER_NAME), QStringLiteral("Admin"));
        Remember(Q(copy / "db" / "srcsafe.ini"));
        QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QString warning;
        answerer->Expect([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            // Runs at the walk's first round of events, before any item is read.
            QTimer::singleShot(0, [&] { vsstest::TruncateFile(log, 60); });
            box->button(QMessageBox::Ok)->click();
        });
        answerer->ExpectMessageBox(QMessageBox::Ok, &warning);
        answerer->ExpectFileDialog(Q(copy / "rest.csv"));
        QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        QVERIFY2(warning.contains(QStringLiteral("1 件")), qPrintable(warning));
        QVERIFY2(warning.contains(QStringLiteral("$/z.txt")), qPrintable(warning));
        const auto records = varnotte::test::ParseCsv(vsstest::ReadWholeFile(copy / "rest.csv"));
        QCOMPARE(records.size(), std::size_t{2});
        QCOMPARE(records[0][0], std::string("$/P"));
        QCOMPARE(records[1][0], std::string("$/P/b.txt"));
    }

    // b.txt has lost its data file: its row is saved all the same, and the warning before
    // the save says so.
    void damagedItemIsSavedWithAWarning() {
        varnotte::test::TempDir copy;
        varnotte::test::CopyTree(dir->path() / "western", copy / "db");
        fs::remove(copy / "db" / fs::relative(bData, dir->path() / "western"));
        Start();
        Paste(edit(IDC_USER_NAME), QStringLiteral("Admin"));
        Remember(Q(copy / "db" / "srcsafe.ini"));
        QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QString warning;
        answerer->ExpectMessageBox(QMessageBox::Ok);  // export everything below $?
        answerer->ExpectMessageBox(QMessageBox::Ok, &warning);
        answerer->ExpectFileDialog(Q(copy / "all.csv"));
        QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        QVERIFY2(warning.startsWith(QStringLiteral("損傷している項目が 1 件")),
                 qPrintable(warning));
        QVERIFY2(warning.contains(QStringLiteral("$/P/b.txt")), qPrintable(warning));
        const auto records = varnotte::test::ParseCsv(vsstest::ReadWholeFile(copy / "all.csv"));
        QCOMPARE(records.size(), std::size_t{3});
        QCOMPARE(records[1][0], std::string("$/P/b.txt"));
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    BadInputTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "bad_input_test.moc"
