// The tree's context menu, driven through the real dialog: a right-click, the menu, the
// folder dialog, the walk with Stop at hand, the message at the end, and the bytes that
// landed in the folder.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/csv_program.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/dialog_test_base.h"
#include "tests/ui/gui_test_support.h"
#include "tree/control_ids.h"
#include "ui/qt_translations.h"

using namespace varnotte;
namespace fs = std::filesystem;
using varnotte::test::ModalAnswerer;

namespace {

const QString kGet = QStringLiteral("取得...");
const QString kReport = QStringLiteral("棚卸しレポート...");

// The page with the minute it was written taken out.
QByteArray Undated(QByteArray page) {
    return QString::fromUtf8(page)
        .replace(QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d")),
                 QStringLiteral("(date)"))
        .toUtf8();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class ContextMenuTest : public varnotte::test::DialogTestBase {
    Q_OBJECT

  private:
    std::unique_ptr<varnotte::test::TempDir> dir;
    // Each file's latest content, by its spec.
    std::map<std::string, std::string> latest;

    // A with a file of three versions, an empty project and `extraFiles` more; a file at
    // the root.
    QString WriteDatabase(int extraFiles) {
        vsstest::WriterOptions options;
        options.keepVersionContents = true;
        vsstest::DatabaseWriter writer(dir->path() / "db", options);
        const vsstest::ItemId a = writer.AddProject(writer.Root(), "A");
        const vsstest::ItemId b = writer.AddFile(a, "b.txt", {}, false, "one\r\n");
        writer.CheckIn(b, {}, {}, "one\r\ntwo\r\n");
        writer.CheckIn(b, {}, {}, "one\r\n2\r\nthree\r\n");
        writer.AddProject(a, "C");
        std::map<std::string, vsstest::ItemId> files{{"$/A/b.txt", b}};
        for (int i = 0; i < extraFiles; ++i) {
            const std::string name = "extra" + std::to_string(i) + ".txt";
            files["$/A/" + name] = writer.AddFile(a, name);
        }
        files["$/top.txt"] = writer.AddFile(writer.Root(), "top.txt");
        writer.Write();
        for (const auto& [spec, id] : files) {
            latest[spec] = *writer.VersionContent(id, writer.CurrentVersion(id));
        }
        return QString::fromStdString(writer.IniPath().string());
    }

    void Open(const QString& ini) {
        QVERIFY(dialog->OnInitDialog());
        dialog->show();
        QTest::keyClicks(edit(IDC_USER_NAME), QStringLiteral("Admin"));
        answerer->ExpectFileDialog(ini);
        dialog->OnBrowse();
        QCOMPARE(tree()->topLevelItemCount(), 1);
    }

    // Right-clicks `node` and chooses `choice` from the menu; `offered` gets the menu's
    // items. Returns once the chosen command has been handled.
    void RightClick(QTreeWidgetItem* node, const QString& choice, QStringList* offered) {
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            poll.stop();
            if (choice == kReport) {
                varnotte::test::SaveScreenAround(dialog.get(), QStringLiteral("context-menu"));
            }
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                offered->append(action->text());
                if (action->text() == choice) {
                    chosen = action;
                }
            }
            if (chosen == nullptr) {
                menu->close();
                return;
            }
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        poll.start();
        QSignalSpy handled(tree(), &CProjectTreeCtrl::expansionHandled);
        tree()->scrollToItem(node);
        // As the right button does on this platform: a press, then the menu.
        const QPoint at = tree()->visualItemRect(node).center();
        QTest::mousePress(tree()->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at,
                                    tree()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree()->viewport(), &menuEvent);
        QTest::mouseRelease(tree()->viewport(), Qt::RightButton, {}, at);
        QTRY_COMPARE(handled.count(), 1);
    }

    QString Path(const char* name) const {
        return QString::fromStdString((dir->path() / name).string());
    }

    QString StatusLine() const { return qobject_cast<QLabel*>(item(IDC_STATUS))->text(); }

  private slots:
    void init() {
        CreateDialog();
        dir = std::make_unique<varnotte::test::TempDir>();
        latest.clear();
    }

    void cleanup() {
        DestroyDialog();
        dir.reset();
    }

    void getWritesTheLatestContentIntoTheFolder_data() {
        QTest::addColumn<QStringList>("node");
        QTest::addColumn<int>("extraFiles");
        QTest::addColumn<bool>("fileInTheWay");  // out/b.txt is there before the get
        QTest::addColumn<bool>("stop");          // Stop as soon as the get runs
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("said");
        QTest::newRow("project") << QStringList{QStringLiteral("A")} << 0 << false << false
                                 << QStringList{QStringLiteral("C")}
                                 << QStringLiteral("1 個のファイルを");
        QTest::newRow("file") << QStringList{QStringLiteral("A"), QStringLiteral("b.txt")} << 0
                              << false << false << QStringList{}
                              << QStringLiteral("1 個のファイルを");
        QTest::newRow("file in the way is kept, the rest written")
            << QStringList{QStringLiteral("A")} << 2 << true << false
            << QStringList{QStringLiteral("C")} << QStringLiteral("$/A/b.txt: ");
        QTest::newRow("stop midway") << QStringList{QStringLiteral("A")} << 300 << false << true
                                     << QStringList{} << QStringLiteral("取得を中止しました。");
    }

    void getWritesTheLatestContentIntoTheFolder() {
        QFETCH(QStringList, node);
        QFETCH(int, extraFiles);
        QFETCH(bool, fileInTheWay);
        QFETCH(bool, stop);
        QFETCH(QStringList, folders);
        QFETCH(QString, said);
        Open(WriteDatabase(extraFiles));
        if (node.size() > 1) {
            answerer->ExpectMessageBox(QMessageBox::Cancel);  // expanding A asks to export
            Node({node.first()})->setExpanded(true);
        }
        fs::create_directories(dir->path() / "out");
        if (fileInTheWay) {
            vsstest::WriteWholeFile(dir->path() / "out" / "b.txt", "mine");
        }
        QTimer stopper;
        if (stop) {
            stopper.setInterval(0);
            connect(&stopper, &QTimer::timeout, this, [&] {
                if (item(IDC_STOP)->isEnabled()) {
                    stopper.stop();
                    QTest::mouseClick(item(IDC_STOP), Qt::LeftButton);
                }
            });
            answerer->Expect([&](QWidget* modal) {
                stopper.start();
                ModalAnswerer::AnswerFileDialog(qobject_cast<QFileDialog*>(modal), Path("out"));
            });
        } else {
            answerer->ExpectFileDialog(Path("out"));
        }
        varnotte::test::SeenMessageBox end;
        answerer->ExpectMessageBox(QMessageBox::Ok, &end);
        const QString statusBefore = StatusLine();
        QStringList offered;
        RightClick(Node(node), kGet, &offered);
        QCOMPARE(StatusLine(), statusBefore);

        // A file has no report of its own.
        QCOMPARE(offered, (node.size() > 1 ? QStringList{kGet} : QStringList{kGet, kReport}));
        QVERIFY2(end.text.contains(said), qPrintable(end.text));
        QCOMPARE(end.icon, fileInTheWay || stop ? QMessageBox::Warning : QMessageBox::Information);
        QVERIFY(tree()->isEnabled());
        QVERIFY(!item(IDC_STOP)->isEnabled());
        // Every file in the folder is whole, and none is where no item leads.
        const std::string prefix = "$/" + node.join(QLatin1Char('/')).toStdString();
        int files = 0;
        QStringList foldersFound;
        for (const fs::directory_entry& entry :
             fs::recursive_directory_iterator(dir->path() / "out")) {
            const std::string relative = entry.path().lexically_relative(dir->path() / "out");
            if (entry.is_directory()) {
                foldersFound.append(QString::fromStdString(relative));
                continue;
            }
            ++files;
            const std::string spec = node.size() > 1 ? prefix : prefix + "/" + relative;
            if (fileInTheWay && relative == "b.txt") {
                QCOMPARE(vsstest::ReadWholeFile(entry.path()), std::string("mine"));
                continue;
            }
            QVERIFY2(latest.contains(spec), relative.c_str());
            QCOMPARE(vsstest::ReadWholeFile(entry.path()), latest.at(spec));
        }
        QCOMPARE(foldersFound, folders);
        if (stop) {
            QVERIFY2(files < extraFiles, qPrintable(end.text));
        } else {
            QCOMPARE(files, 1 + extraFiles);
        }
        QVERIFY2(end.text.contains(QString::number(files - (fileInTheWay ? 1 : 0)) +
                                   QStringLiteral(" 個のファイルを")),
                 qPrintable(end.text));
    }

    void reportOfAProjectIsTheOneVarnotteCsvWrites_data() {
        QTest::addColumn<bool>("stop");  // Stop as soon as the walk runs: no report at all
        QTest::newRow("whole") << false;
        QTest::newRow("stopped") << true;
    }

    void reportOfAProjectIsTheOneVarnotteCsvWrites() {
        QFETCH(bool, stop);
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        Open(ini);
        QStringList saveDialog;
        QTimer stopper;
        if (stop) {
            connect(&stopper, &QTimer::timeout, this, [&] {
                if (item(IDC_STOP)->isEnabled()) {
                    stopper.stop();
                    QTest::mouseClick(item(IDC_STOP), Qt::LeftButton);
                }
            });
            stopper.start(0);
        } else {
            answerer->Expect([&](QWidget* modal) {
                auto* save = qobject_cast<QFileDialog*>(modal);
                QVERIFY(save != nullptr);
                saveDialog = QStringList{save->windowTitle(), save->defaultSuffix()};
                ModalAnswerer::AnswerFileDialog(save, Path("report.html"));
            });
        }
        const QString statusBefore = StatusLine();
        QStringList offered;
        RightClick(Node({QStringLiteral("Invetory Shaili")}), kReport, &offered);
        QCOMPARE(StatusLine(), statusBefore);
        QVERIFY(tree()->isEnabled());
        if (stop) {
            QVERIFY(!stopper.isActive());
            QVERIFY(answerer->unanswered().isEmpty());  // no save dialog came
            return;
        }
        QCOMPARE(saveDialog,
                 (QStringList{QStringLiteral("棚卸しレポートを保存"), QStringLiteral("html")}));
        const varnotte::test::CsvRun cli = varnotte::test::RunCsv(
            {QStringLiteral("--report"), Path("cli.html"), QStringLiteral("--report-language"),
             QStringLiteral("ja"), ini, QStringLiteral("$/Invetory Shaili")});
        QCOMPARE(cli.exitCode, 0);
        const QByteArray fromWindow = ReadFile(Path("report.html"));
        QVERIFY(fromWindow.contains("$/Invetory Shaili"));
        QCOMPARE(Undated(fromWindow), Undated(ReadFile(Path("cli.html"))));
        // The tree is as it was: the walk added no nodes.
        QCOMPARE(Node({QStringLiteral("Invetory Shaili")})->childCount(), 0);
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    varnotte::InstallQtJapanese(application);
    ContextMenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "context_menu_test.moc"
