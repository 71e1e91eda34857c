// Exporting never changes a database: every real database, exported with history through
// varnotte-csv and through the dialog's walk, keeps every byte, file, folder, permission
// and timestamp (access times too, where the file system keeps them). And a database that
// nobody may write to exports all the same.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "testing/database_writer.h"
#include "testing/file_io.h"
#include "tests/support/csv_program.h"
#include "tests/support/file_access.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/qt_path.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"
#include "tests/ui/gui_test_support.h"
#include "tree/control_ids.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"

using namespace varnotte;
using varnotte::test::ModalAnswerer;
namespace fs = std::filesystem;

namespace {

using varnotte::test::CsvRun;
using varnotte::test::RunCsv;

QString Joined(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines) {
        out.append(QString::fromStdString(line));
    }
    return out.join(QLatin1Char('\n'));
}

using varnotte::test::Q;

QByteArray ReadFile(const fs::path& path) {
    QFile file(Q(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every database folder of the fixtures: those with a srcsafe.ini or a data folder.
QStringList FixtureDatabases() {
    QStringList names;
    const fs::path root = varnotte::test::FixturesRoot();
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it.depth() > 1 || !it->is_directory()) {
            continue;
        }
        if (fs::exists(it->path() / "srcsafe.ini") || fs::is_directory(it->path() / "data")) {
            names.append(Q(fs::relative(it->path(), root)));
            it.disable_recursion_pending();
        }
    }
    names.sort();
    return names;
}

void MakeReadOnly(const fs::path& root) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        fs::permissions(entry.path(),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    fs::permissions(root, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// Readable by the ordinary user that the read-only cases run as.
void OpenToEveryone(const fs::path& root) {
    fs::permissions(root,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        fs::permissions(entry.path(),
                        entry.is_directory() ? fs::perms::all
                                             : fs::perms::owner_read | fs::perms::group_read |
                                                   fs::perms::others_read,
                        fs::perm_options::add);
    }
}

}  // namespace

class ReadOnlyTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<RunState> state;
    std::unique_ptr<CBrelwickDlg> dialog;
    std::unique_ptr<ModalAnswerer> answerer;

    QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(dialog->GetDlgItem(id)); }

    // Logs in with Enter on `ini` (as the database list remembers it), then again, which
    // asks to export the whole database: OK, with history, saved to `target`. Returns
    // whether the database opened.
    bool ExportThroughTheDialog(const QString& ini, const QString& user, const fs::path& target,
                                bool warnsOfUnreadableItems) {
        state = std::make_unique<RunState>();
        dialog = std::make_unique<CBrelwickDlg>(*state, nullptr);
        answerer = std::make_unique<ModalAnswerer>(dialog.get());
        if (!dialog->OnInitDialog()) {
            return false;
        }
        dialog->show();
        QTest::keyClicks(edit(IDC_USER_NAME), user);
        QTest::mouseClick(dialog->GetDlgItem(IDC_OUTPUT_HISTORY), Qt::LeftButton, {}, QPoint(4, 4));
        dialog->m_databaseList.Select(dialog->m_databaseList.Add(ini));
        QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        const bool opened = dialog->projectTree()->topLevelItemCount() == 1;
        if (opened) {
            answerer->ExpectMessageBox(QMessageBox::Ok);  // export everything below $?
            if (warnsOfUnreadableItems) {
                answerer->ExpectMessageBox(QMessageBox::Ok);
            }
            answerer->ExpectFileDialog(Q(target));
            QTest::keyClick(edit(IDC_USER_NAME), Qt::Key_Return);
        }
        const bool allAnswered = answerer->pending() == 0 && answerer->unanswered().isEmpty();
        answerer.reset();
        dialog.reset();
        state.reset();
        return opened && allAnswered;
    }

  private slots:
    void everyDatabaseStaysAsItWas_data() {
        QTest::addColumn<QString>("fixture");
        const QStringList databases = FixtureDatabases();
        if (databases.isEmpty()) {
            QTest::newRow("none") << QString();
        }
        for (const QString& name : databases) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }

    void everyDatabaseStaysAsItWas() {
        QFETCH(QString, fixture);
        if (fixture.isEmpty()) {
            if (varnotte::test::RunningInCi()) {
                QFAIL("no fixtures");
            }
            QSKIP("no fixtures");
        }
        varnotte::test::TempDir dir;
        const fs::path db = dir / "db";
        varnotte::test::CopyTree(varnotte::test::FixturesRoot() / fixture.toStdString(), db);
        if (!fs::exists(db / "srcsafe.ini")) {
            vsstest::WriteWholeFile(db / "srcsafe.ini", "Data_Path = data\r\n");
        }
        fs::create_directory(dir / "out");
        const QString ini = Q(db / "srcsafe.ini");
        const bool atime = varnotte::test::KeepsAccessTimes(dir.path());
        varnotte::test::AgeAccessTimes(db);
        const varnotte::test::TreeSnapshot before = varnotte::test::SnapshotTree(db);

        QString user = QStringLiteral("Admin");
        CsvRun run = RunCsv({QStringLiteral("--history"), QStringLiteral("-u"), user,
                             QStringLiteral("-o"), Q(dir / "out" / "csv.csv"), ini});
        if (run.exitCode == 2) {
            user = QStringLiteral("Guest");
            run = RunCsv({QStringLiteral("--history"), QStringLiteral("-u"), user,
                          QStringLiteral("-o"), Q(dir / "out" / "csv.csv"), ini});
        }
        QVERIFY2(run.exitCode == 0 || run.exitCode == 3 || run.exitCode == 4, run.err.c_str());
        auto changes =
            varnotte::test::CompareSnapshots(before, varnotte::test::SnapshotTree(db), atime);
        QVERIFY2(changes.empty(), qPrintable(Joined(changes)));

        const bool exported =
            ExportThroughTheDialog(ini, user, dir / "out" / "gui.csv", run.exitCode == 4);
        QCOMPARE(exported, run.exitCode != 3);
        if (exported) {
            QCOMPARE(ReadFile(dir / "out" / "gui.csv"), ReadFile(dir / "out" / "csv.csv"));
        }
        changes = varnotte::test::CompareSnapshots(before, varnotte::test::SnapshotTree(db), atime);
        QVERIFY2(changes.empty(), qPrintable(Joined(changes)));
    }

    // Nothing of a read-only database can be written by an ordinary user (root's override
    // is dropped): any attempt to would fail the export.
    void readOnlyDatabaseExports() {
        varnotte::test::TempDir dir;
        vsstest::DatabaseWriter writer(dir / "db");
        const vsstest::ItemId project = writer.AddProject(writer.Root(), "Project");
        const vsstest::ItemId file = writer.AddFile(project, "file.txt");
        writer.CheckIn(file, vsstest::Stamp{"Admin", 1136200000, "second"});
        writer.AddFile(writer.AddProject(project, "Sub"), "deep.txt");
        writer.Write();
        OpenToEveryone(dir.path());
        fs::create_directory(dir / "out");
        fs::permissions(dir / "out", fs::perms::all);
        const QString ini = Q(writer.IniPath());
        const CsvRun writable = RunCsv({QStringLiteral("--history"), ini});
        QCOMPARE(writable.exitCode, 0);

        MakeReadOnly(dir / "db");
        const varnotte::test::TreeSnapshot before = varnotte::test::SnapshotTree(dir / "db");
        const CsvRun readOnly = RunCsv({QStringLiteral("--history"), ini}, {}, true);
        QVERIFY2(readOnly.exitCode == 0, readOnly.err.c_str());
        QVERIFY(readOnly.out == writable.out);
        {
            const varnotte::test::AsOrdinaryUser user;
            QVERIFY(ExportThroughTheDialog(ini, QStringLiteral("Admin"), dir / "out" / "gui.csv",
                                           false));
        }
        QCOMPARE(ReadFile(dir / "out" / "gui.csv"), QByteArray::fromStdString(writable.out));
        const auto changes = varnotte::test::CompareSnapshots(
            before, varnotte::test::SnapshotTree(dir / "db"), false);
        QVERIFY2(changes.empty(), qPrintable(Joined(changes)));
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    ReadOnlyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "read_only_test.moc"
