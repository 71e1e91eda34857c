// What the main dialog keeps between runs, driven through the real dialog against this
// test program's own settings file (its XDG_CONFIG_HOME belongs to it alone).
#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "app/reporter_app.h"
#include "testing/code_page_words.h"
#include "testing/database_writer.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/gui_test_support.h"
#include "tree/control_ids.h"
#include "tree/project_tree_ctrl.h"
#include "ui/brelwick_dlg.h"

using namespace varnotte;
using varnotte::test::ModalAnswerer;

namespace {

using Values = QList<std::pair<QString, QVariant>>;

QByteArray Ini(std::initializer_list<const char*> lines) {
    QByteArray content;
    for (const char* line : lines) {
        content.append(line).append('\n');
    }
    return content;
}

// Corners as the registry holds them: y in the high half, x in the low half.
constexpr qint32 Corner(int x, int y) {
    return static_cast<qint32>((quint32(y) << 16) | (quint32(x) & 0xFFFF));
}

// Hands every event of the application to `seen`, for as long as it lives.
class EventWatch : public QObject {
  public:
    explicit EventWatch(std::function<void(QObject*, QEvent*)> seen) : seen_(std::move(seen)) {
        qApp->installEventFilter(this);
    }
    ~EventWatch() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        seen_(watched, event);
        return false;
    }

  private:
    std::function<void(QObject*, QEvent*)> seen_;
};

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CReporterApp> app;
    std::unique_ptr<CBrelwickDlg> dialog;
    std::unique_ptr<ModalAnswerer> answerer;
    QRect templateGeometry;

    QString StorePath() const {
        return QSettings(QStringLiteral("Pellacor"), QCoreApplication::applicationName())
            .fileName();
    }

    void WriteStore(const Values& values) const {
        QSettings settings(QStringLiteral("Pellacor"), QCoreApplication::applicationName());
        for (const auto& [key, value] : values) {
            settings.setValue(key, value);
        }
    }

    void WriteRawStore(const QByteArray& content) const {
        QFile file(StorePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    QByteArray RawStore() const {
        QFile file(StorePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Stored(const QString& key) const {
        return QSettings(QStringLiteral("Pellacor"), QCoreApplication::applicationName())
            .value(key)
            .toString();
    }

    QWidget* Item(int id) const { return dialog->GetDlgItem(id); }
    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(Item(id)); }
    QCheckBox* History() const { return qobject_cast<QCheckBox*>(Item(IDC_OUTPUT_HISTORY)); }
    CProjectTreeCtrl* Tree() const { return dialog->projectTree(); }

    void NewRun() {
        app = std::make_unique<CReporterApp>();
        dialog = std::make_unique<CBrelwickDlg>(*app, app.get());
        answerer = std::make_unique<ModalAnswerer>(dialog.get());
        reopenPending = !Stored("Settings/Database").isEmpty();
        connect(dialog.get(), &CBrelwickDlg::storedDatabaseReopened, this,
                [this] { reopenPending = false; });
    }

    // The stored database is opened once the window is shown; tests wait for that.
    bool reopenPending = false;

    // A new run of the program up to the end of its dialog's initialisation: the settings
    // are loaded and the dialog is still hidden.
    void Start() {
        NewRun();
        QVERIFY(dialog->OnInitDialog());
    }

    void Show() {
        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    // Shows the dialog and waits until the stored database has been opened (or not).
    void ShowAndReopen() {
        Show();
        QTRY_VERIFY_WITH_TIMEOUT(!reopenPending, 60000);
    }

    // Ends the run through Exit, which saves.
    void Close() {
        dialog->OnClose();
        QVERIFY(!dialog->isVisible());
        End();
    }

    void End() {
        QVERIFY2(answerer->unanswered().isEmpty(), qPrintable(answerer->unanswered().join(", ")));
        QCOMPARE(answerer->pending(), 0);
        answerer.reset();
        dialog.reset();
        app.reset();
    }

    // A whole modal run: `whileShown` acts on the shown dialog, then Exit closes it.
    int Run(const std::function<void()>& whileShown) {
        NewRun();
        // Loading the settings may process events (reopening a database walks its root), so
        // wait for the dialog to be shown rather than for the event loop to start.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (dialog->isVisible() && !reopenPending) {
                poll.stop();
                whileShown();
                dialog->OnClose();
            }
        });
        poll.start(10);
        const int result = dialog->exec();
        End();
        return result;
    }

    bool Restored() const { return dialog->testAttribute(Qt::WA_Moved); }

  private slots:
    void initTestCase() {
        RunState state;
        templateGeometry = CBrelwickDlg(state, nullptr).geometry();
    }

    void init() { QFile::remove(StorePath()); }

    void cleanup() {
        if (answerer) {
            End();
        }
        QFile::remove(StorePath());
    }

    void firstStartWithAnEmptyStore() {
        Start();
        QVERIFY(!Restored());
        QCOMPARE(dialog->geometry(), templateGeometry);
        QCOMPARE(dialog->m_databaseList.count(), 0);
        QCOMPARE(Edit(IDC_USER_NAME)->text(), QString());
        QVERIFY(!History()->isChecked());
        QCOMPARE(Tree()->topLevelItemCount(), 0);
        Show();
        Close();
        // Every key is written, the ones only kept with their defaults.
        const Values expected = {
            {"Settings/VSSPath", ""},      {"Settings/Database", ""},
            {"Settings/Username", ""},     {"Settings/Trace", 0},
            {"Settings/DatabaseCount", 0}, {"Settings/ColumnCount", 8},
            {"Settings/Col0Width", 24},    {"Settings/Col1Width", 60},
            {"Settings/Col2Width", 90},    {"Settings/Col3Width", 40},
            {"Settings/Col4Width", 50},    {"Settings/Col5Width", 70},
            {"Settings/Col6Width", 130},   {"Settings/Col7Width", 300},
            {"Settings/SortColumn", 0},    {"Settings/SortAscending", 1},
        };
        for (const auto& [key, value] : expected) {
            QCOMPARE(Stored(key), value.toString());
        }
        QVERIFY(!Stored("Pos/TopLeft").isEmpty() && !Stored("Pos/BottomRight").isEmpty());
        QVERIFY(Stored("Settings/Database01").isEmpty());
    }

    void roundTripRestoresWhereTheUserLeftOff() {
        VARNOTTE_QFIXTURE_INI(ini, "shares-deletes");
        QRect left;
        const int result = Run([&] {
            QTest::keyClicks(Edit(IDC_USER_NAME), QStringLiteral("Admin"));
            answerer->ExpectFileDialog(ini);
            dialog->OnBrowse();
            History()->click();
            QTest::keyClicks(Edit(IDC_PASSWORD), QStringLiteral("never-kept"));
            const QRect placed(QPoint(60, 45), dialog->size() + QSize(30, 20));
            dialog->setGeometry(placed);
            QTRY_COMPARE(dialog->geometry(), placed);
            left = dialog->geometry();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!RawStore().contains("never-kept"));

        QRect reopened;
        QString user;
        QString password;
        bool history = false;
        bool rootSelected = false;
        QString selected;
        Run([&] {
            reopened = dialog->geometry();
            user = Edit(IDC_USER_NAME)->text();
            password = Edit(IDC_PASSWORD)->text();
            history = History()->isChecked();
            rootSelected = Tree()->topLevelItemCount() == 1 &&
                           Tree()->currentItem() == Tree()->topLevelItem(0);
            selected = dialog->m_databaseList.selectedText();
            varnotte::test::SaveScreenshot(dialog.get(), QStringLiteral("settings-reopened"));
        });
        QCOMPARE(reopened, left);
        QCOMPARE(user, QStringLiteral("Admin"));
        QCOMPARE(password, QString());
        QVERIFY(history);
        QVERIFY(rootSelected);
        QCOMPARE(selected, ini);
        QCOMPARE(Stored("Settings/Database"), ini);
        QCOMPARE(Stored("Settings/Trace"), QStringLiteral("1"));
    }

    void storedListFollowsThePrefixRule_data() {
        QTest::addColumn<QVariant>("count");  // null: as many as stored
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");
        const QVariant all;
        QTest::newRow("differing only in case: the first read")
            << all << QStringList{"/vss/Main/srcsafe.ini", "/VSS/main/SRCSAFE.INI"}
            << QStringList{"/vss/Main/srcsafe.ini"};
        QTest::newRow("beginning of an earlier one: dropped")
            << all << QStringList{"/vss/main/srcsafe.ini", "/VSS/MAIN"}
            << QStringList{"/vss/main/srcsafe.ini"};
        QTest::newRow("beginning read first: both kept")
            << all << QStringList{"/vss/main", "/vss/main/srcsafe.ini"}
            << QStringList{"/vss/main", "/vss/main/srcsafe.ini"};
        QTest::newRow("sorted ignoring case, empty skipped")
            << all << QStringList{"/vss/zeta", "", "/vss/Alpha", "/vss/beta"}
            << QStringList{"/vss/Alpha", "/vss/beta", "/vss/zeta"};
        QTest::newRow("count reads no further")
            << QVariant(1) << QStringList{"/vss/a", "/vss/b"} << QStringList{"/vss/a"};
        QTest::newRow("count not a number")
            << QVariant("two") << QStringList{"/vss/a", "/vss/b"} << QStringList{};
        QTest::newRow("count absurdly large")
            << QVariant(2147483647) << QStringList{"/vss/a", "/vss/b"}
            << QStringList{"/vss/a", "/vss/b"};
    }

    void storedListFollowsThePrefixRule() {
        QFETCH(QVariant, count);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        Values values = {
            {"Settings/DatabaseCount", count.isNull() ? QVariant(stored.size()) : count}};
        for (int i = 0; i < stored.size(); ++i) {
            values.append({QString::asprintf("Settings/Database%02d", i + 1), stored.at(i)});
        }
        WriteStore(values);
        Start();
        QCOMPARE(dialog->m_databaseList.entries(), expected);
        QCOMPARE(dialog->m_databaseList.selectedIndex(), -1);
    }

    void moreThanNinetyNineDatabases() {
        Values values = {{"Settings/DatabaseCount", 120}};
        for (int n = 1; n <= 120; ++n) {
            values.append({QString::asprintf("Settings/Database%02d", n),
                           QString::asprintf("/vss/db%03d/srcsafe.ini", n)});
        }
        WriteStore(values);
        Start();
        QCOMPARE(dialog->m_databaseList.count(), 120);
        QCOMPARE(dialog->m_databaseList.at(99), QStringLiteral("/vss/db100/srcsafe.ini"));
        Close();
        QCOMPARE(Stored("Settings/Database09"), QStringLiteral("/vss/db009/srcsafe.ini"));
        QCOMPARE(Stored("Settings/Database100"), QStringLiteral("/vss/db100/srcsafe.ini"));
        QCOMPARE(Stored("Settings/Database120"), QStringLiteral("/vss/db120/srcsafe.ini"));
        QVERIFY(RawStore().contains("\nDatabase100=/vss/db100/srcsafe.ini"));
    }

    void storedRectangleIsRestoredOnlyOnAScreen_data() {
        QTest::addColumn<qint32>("topLeft");
        QTest::addColumn<qint32>("bottomRight");
        QTest::addColumn<bool>("restored");
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTest::newRow("on the screen") << Corner(40, 30) << Corner(560, 580) << true;
        QTest::newRow("partly on the screen")
            << Corner(screen.right() - 100, 30) << Corner(screen.right() + 420, 580) << true;
        QTest::newRow("top-left -1: absent") << qint32(-1) << Corner(560, 580) << false;
        QTest::newRow("bottom-right -1: absent") << Corner(40, 30) << qint32(-1) << false;
        // Negative halves come back as large positive numbers: (top 30, left -8) was stored
        // as 30 * 65536 + 65528; (top -20, left 40) as 0xFFEC0028.
        QTest::newRow("left of the primary screen") << qint32(2031608) << Corner(500, 560) << false;
        QTest::newRow("above the primary screen")
            << qint32(0xFFEC0028) << Corner(560, 500) << false;
        QTest::newRow("wholly on a screen to the upper left")
            << Corner(-600, -500) << Corner(-80, -20) << false;
        QTest::newRow("beyond every screen")
            << Corner(screen.right() + 10, 30) << Corner(screen.right() + 530, 580) << false;
        QTest::newRow("empty") << qint32(0) << qint32(0) << false;
    }

    void storedRectangleIsRestoredOnlyOnAScreen() {
        QFETCH(qint32, topLeft);
        QFETCH(qint32, bottomRight);
        QFETCH(bool, restored);
        WriteStore({{"Pos/TopLeft", topLeft}, {"Pos/BottomRight", bottomRight}});
        Start();
        QCOMPARE(Restored(), restored);
        if (restored) {
            const QPoint corner(topLeft & 0xFFFF, topLeft >> 16);
            QCOMPARE(dialog->geometry(),
                     QRect(corner, QPoint((bottomRight & 0xFFFF) - 1, (bottomRight >> 16) - 1)));
        } else {
            QCOMPARE(dialog->geometry(), templateGeometry);
        }
    }

    void normalRectangleIsSaved_data() {
        QTest::addColumn<QRect>("placed");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<bool>("restored");
        QTest::newRow("normal") << QRect(70, 40, 420, 460) << false << true;
        QTest::newRow("maximised keeps the normal one") << QRect(70, 40, 420, 460) << true << true;
        QTest::newRow("left edge off the screen") << QRect(-40, 40, 420, 460) << false << false;
    }

    void normalRectangleIsSaved() {
        QFETCH(QRect, placed);
        QFETCH(bool, maximised);
        QFETCH(bool, restored);
        Start();
        Show();
        dialog->setGeometry(placed);
        QTRY_COMPARE(dialog->geometry(), placed);
        const QRect normal = dialog->geometry();
        if (maximised) {
            dialog->showMaximized();
            QTRY_VERIFY(dialog->geometry() != normal);
        }
        Close();
        const int left = normal.x() < 0 ? 65536 + normal.x() : normal.x();
        QCOMPARE(Stored("Pos/TopLeft").toInt(), normal.y() * 65536 + left);
        QCOMPARE(Stored("Pos/BottomRight").toInt(),
                 (normal.bottom() + 1) * 65536 + normal.right() + 1);
        Start();
        QCOMPARE(Restored(), restored);
        QCOMPARE(dialog->geometry(), restored ? normal : templateGeometry);
    }

    void databaseThatDoesNotOpenIsNotReopened_data() {
        QTest::addColumn<QByteArray>("fixture");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("user");
        QTest::newRow("needs a password")
            << QByteArray("shares-deletes") << QString() << QStringLiteral("Dhaval");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("/nonexistent/srcsafe.ini")
                                 << QStringLiteral("Admin");
    }

    void databaseThatDoesNotOpenIsNotReopened() {
        QFETCH(QByteArray, fixture);
        QFETCH(QString, path);
        QFETCH(QString, user);
        if (!fixture.isEmpty()) {
            path = varnotte::test::FixtureIni(fixture.constData());
            if (path.isEmpty()) {
                if (varnotte::test::RunningInCi()) {
                    QFAIL("fixture missing");
                }
                QSKIP("fixture missing");
            }
        }
        WriteStore({{"Settings/Database", path},
                    {"Settings/Username", user},
                    {"Settings/DatabaseCount", 1},
                    {"Settings/Database01", path}});
        Start();
        ShowAndReopen();
        QCOMPARE(Tree()->topLevelItemCount(), 0);
        QCOMPARE(dialog->m_databaseList.entries(), QStringList{path});
        QCOMPARE(dialog->m_databaseList.selectedIndex(), -1);
        QCOMPARE(Edit(IDC_USER_NAME)->text(), user);
        Close();  // no message box came up: the answerer would have caught it
        QCOMPARE(Stored("Settings/Database"), QString());
        QCOMPARE(Stored("Settings/Database01"), path);
        QCOMPARE(Stored("Settings/Username"), user);
    }

    // The window is painted before the stored database is read, which is read with the
    // controls as during an expansion. Stop ends the opening (no database, as after a
    // failed open, and no message); closing ends it too but keeps the database for the
    // next start.
    void windowComesBeforeTheStoredDatabase_data() {
        QTest::addColumn<QString>("then");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("kept");
        QTest::newRow("read to the end") << QString() << true << true;
        QTest::newRow("Stop") << QStringLiteral("stop") << false << false;
        QTest::newRow("close box") << QStringLiteral("close") << false << true;
    }

    void windowComesBeforeTheStoredDatabase() {
        QFETCH(QString, then);
        QFETCH(bool, opened);
        QFETCH(bool, kept);
        varnotte::test::TempDir dir;
        vsstest::DatabaseWriter writer(dir.path());
        const vsstest::ItemId big = writer.AddProject(writer.Root(), "Big");
        for (int i = 0; i < 200; ++i) {
            writer.AddFile(big, "file" + std::to_string(i) + ".txt");
        }
        writer.Write();
        const QString ini = QString::fromStdString(writer.IniPath().string());
        WriteStore({{"Settings/Database", ini},
                    {"Settings/Username", "Admin"},
                    {"Settings/DatabaseCount", 1},
                    {"Settings/Database01", ini}});
        Start();
        QCOMPARE(Tree()->topLevelItemCount(), 0);  // nothing is read while it initialises

        // What the first picture of the window showed.
        int nodesAtFirstPaint = -1;
        EventWatch watch([&](QObject* watched, QEvent* event) {
            if (event->type() == QEvent::Paint && dialog && watched == dialog.get() &&
                nodesAtFirstPaint < 0) {
                nodesAtFirstPaint = Tree()->topLevelItemCount();
            }
        });
        // What the opening disabled, seen from an event it processes; then Stop or close.
        bool loadingState = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!Tree()->IsLoading()) {
                return;
            }
            poll.stop();
            loadingState = Item(IDC_STOP)->isEnabled() && !Item(IDOK)->isEnabled() &&
                           !Item(IDC_BROWSE)->isEnabled() && !Tree()->isEnabled();
            if (then == QLatin1String("stop")) {
                QTest::mouseClick(Item(IDC_STOP), Qt::LeftButton);
            } else if (then == QLatin1String("close")) {
                dialog->close();
            }
        });
        poll.start(0);
        QSignalSpy reopened(dialog.get(), &CBrelwickDlg::storedDatabaseReopened);
        Show();
        QVERIFY(reopened.count() == 1 || reopened.wait(60000));
        QCOMPARE(nodesAtFirstPaint, 0);
        QVERIFY(loadingState);
        QCOMPARE(reopened.at(0).at(0).toBool(), opened);
        QCOMPARE(Tree()->topLevelItemCount(), opened ? 1 : 0);
        if (then == QLatin1String("close")) {
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 60000);
            End();
        } else {
            QCOMPARE(Tree()->currentItem() != nullptr, opened);
            QVERIFY(Tree()->isEnabled());
            QVERIFY(Item(IDOK)->isEnabled());
            Close();
        }
        QCOMPARE(Stored("Settings/Database"), kept ? ini : QString());
    }

    // A code page set by hand in the store decides how names are read; the program never
    // writes the key itself.
    void codePageFromTheStore_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        const QString hungarian = QStringLiteral("Árvíztűrő tükörfúrógép");
        const QString readAsWestern = QStringLiteral("Árvíztûrõ tükörfúrógép");
        QTest::newRow("missing: guessed") << QVariant() << hungarian;
        QTest::newRow("0: guessed") << QVariant(0) << hungarian;
        QTest::newRow("1252") << QVariant(1252) << readAsWestern;
        QTest::newRow("cp1252") << QVariant(QStringLiteral("cp1252")) << readAsWestern;
        QTest::newRow("1250") << QVariant(1250) << hungarian;
        QTest::newRow("unknown page: guessed") << QVariant(437) << hungarian;
        QTest::newRow("not a number: guessed") << QVariant(QStringLiteral("klingon")) << hungarian;
    }

    void codePageFromTheStore() {
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        varnotte::test::TempDir dir;
        vsstest::DatabaseWriter writer(dir.path());
        writer.AddProject(writer.Root(), vsstest::EncodeInCodePage("Árvíztűrő tükörfúrógép", 1250));
        writer.Write();
        const QString ini = QString::fromStdString(writer.IniPath().string());
        Values values = {{"Settings/Database", ini},
                         {"Settings/Username", "Admin"},
                         {"Settings/DatabaseCount", 1},
                         {"Settings/Database01", ini}};
        if (stored.isValid()) {
            values.append({"Settings/CodePage", stored});
        }
        WriteStore(values);
        Start();
        ShowAndReopen();
        QTreeWidgetItem* root = Tree()->topLevelItem(0);
        QVERIFY(root != nullptr);
        QCOMPARE(root->childCount(), 1);
        QCOMPARE(root->child(0)->text(0), shown);
        Close();
        QCOMPARE(Stored("Settings/CodePage"), stored.toString());
    }

    void escapeSavesNothing() {
        WriteStore({{"Settings/Username", "before"}});
        const QByteArray before = RawStore();
        Start();
        Show();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QCOMPARE(RawStore(), before);
    }

    void componentCheckExitSavesNothing() {
        WriteStore({{"Settings/Username", "before"}});
        const QByteArray before = RawStore();
        app = std::make_unique<CReporterApp>();
        app->createDatabase = [](const sourcesafe::Guid&, sourcesafe::IVSSDatabase&) {
            return sourcesafe::E_NOINTERFACE_RESULT;
        };
        ModalAnswerer answerNo;
        answerNo.ExpectMessageBox(QMessageBox::No);
        QCOMPARE(app->Run(), -1);
        QCOMPARE(answerNo.pending(), 0);
        app.reset();
        QCOMPARE(RawStore(), before);
    }

    void damagedValuesReadAsDefaults_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("savedAfterwards");  // key=value
        QTest::newRow("words where numbers belong")
            << Ini({"[Pos]", "TopLeft=left", "BottomRight=right", "[Settings]", "Trace=yes",
                    "DatabaseCount=three", "Database01=/vss/a", "ColumnCount=8", "Col0Width=wide",
                    "Col1Width=61", "SortColumn=first", "SortAscending=maybe"})
            << QStringList{"Trace=0",      "DatabaseCount=0", "Database01=/vss/a", "Col0Width=24",
                           "Col1Width=61", "SortColumn=0",    "SortAscending=1"};
        QTest::newRow("lists and structured values")
            << Ini({"[Pos]", "TopLeft=12, 13", "BottomRight=@Rect(1 2 3 4)", "[Settings]",
                    "Username=a, b", "Database=@Rect(1 2 3 4)", "VSSPath=@Point(1 2)",
                    "Trace=1, 0"})
            << QStringList{"Username=", "Database=", "VSSPath=", "Trace=0"};
        QTest::newRow("numbers out of range")
            << Ini({"[Settings]", "Trace=99999999999", "ColumnCount=8", "Col7Width=1e3",
                    "SortColumn=-99999999999"})
            << QStringList{"Trace=0", "Col7Width=300", "SortColumn=0"};
        QTest::newRow("broken lines")
            << Ini({"[Pos", "TopLeft=1", "\xff\xfe\x01=", "===", "[Settings]", "Username=kept",
                    "Trace"})
            << QStringList{"Username=kept", "Trace=0"};
        QByteArray junk;
        for (int i = 0; i < 4096; ++i) {
            junk.append(static_cast<char>((i * 7919 + 13) & 0xFF));
        }
        QTest::newRow("binary junk")
            << junk << QStringList{"Username=", "Trace=0", "DatabaseCount=0", "SortAscending=1"};
    }

    void damagedValuesReadAsDefaults() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, savedAfterwards);
        WriteRawStore(content);
        Start();
        QVERIFY(!Restored());
        QCOMPARE(dialog->geometry(), templateGeometry);
        Close();
        for (const QString& pair : savedAfterwards) {
            const qsizetype equals = pair.indexOf(QLatin1Char('='));
            QCOMPARE(Stored(QStringLiteral("Settings/") + pair.left(equals)), pair.mid(equals + 1));
        }
    }

    void keptAndUnknownKeysSurviveASave_data() {
        QTest::addColumn<Values>("stored");
        QTest::addColumn<Values>("savedAfterwards");
        const Values unknown = {{"Pos/Maximised", 1},
                                {"Settings/Unknown", "untouched"},
                                {"Settings/Database07", "/vss/beyond/count"},
                                {"Other/Key", "value"}};
        QTest::newRow("eight columns kept")
            << (unknown + Values{{"Settings/VSSPath", "C:\\VSS\\win32"},
                                 {"Settings/ColumnCount", 8},
                                 {"Settings/Col3Width", 77},
                                 {"Settings/SortColumn", 3},
                                 {"Settings/SortAscending", 0}})
            << (unknown + Values{{"Settings/VSSPath", "C:\\VSS\\win32"},
                                 {"Settings/ColumnCount", 8},
                                 {"Settings/Col3Width", 77},
                                 {"Settings/Col4Width", 50},
                                 {"Settings/SortColumn", 3},
                                 {"Settings/SortAscending", 0}});
        QTest::newRow("widths for another count give way to the defaults")
            << (unknown + Values{{"Settings/ColumnCount", 7}, {"Settings/Col3Width", 77}})
            << (unknown + Values{{"Settings/ColumnCount", 8}, {"Settings/Col3Width", 40}});
    }

    void keptAndUnknownKeysSurviveASave() {
        QFETCH(Values, stored);
        QFETCH(Values, savedAfterwards);
        WriteStore(stored);
        Start();
        Close();
        for (const auto& [key, value] : savedAfterwards) {
            QCOMPARE(Stored(key), value.toString());
        }
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    SettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_test.moc"
