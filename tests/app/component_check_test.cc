// The start-up component check, with the component and the registration tool faked.
#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "app/reporter_app.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/temp_dir.h"
#include "ui/brelwick_dlg.h"

using namespace varnotte;
using varnotte::test::ModalAnswerer;
using varnotte::test::SeenMessageBox;

namespace {

// Which interfaces the fake component offers.
DatabaseFactory Offering(bool version6, bool base) {
    return [version6, base](const sourcesafe::Guid& id, sourcesafe::IVSSDatabase& out) {
        const bool offered = (id == sourcesafe::IID_IVSSDatabase6 && version6) ||
                             (id == sourcesafe::IID_IVSSDatabase && base);
        if (!offered) {
            throw std::runtime_error("class not registered");  // failures of any kind are swallowed
        }
        return sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase,
                                          sourcesafe::CLSCTX_ALL_SERVERS, id, out);
    };
}

class FakeLauncher : public ProcessLauncher {
  public:
    int calls = 0;
    QString program;
    QString parameters;
    bool dialogVisibleMeanwhile = true;
    CReporterApp* app = nullptr;

    bool RunAndWait(const QString& p, const QString& params) override {
        ++calls;
        program = p;
        parameters = params;
        dialogVisibleMeanwhile = app->mainWindow() != nullptr && app->mainWindow()->isVisible();
        return true;
    }
};

const QString kMissingText = QStringLiteral(
    "Varnotteを使用するには、VSSにアクセスする為の'ssapi.dll' "
    "が必要です。\n\n'Yes'をクリック頂くと、'ssapi.dll'の存在確認及び、"
    "Varnotteへの設定を自動で行います。 \n "
    "又は、'No'をクリックしてVarnotteを終了し、'ssapi.dll'取得をマニュアル操作で行って下さい。");

}  // namespace

class ComponentCheckTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CReporterApp> app;
    FakeLauncher launcher;
    std::unique_ptr<ModalAnswerer> answerer;
    bool shown = false;

    // Runs the program; once its dialog is up, notes that and closes it.
    int Run() {
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [this] {
            if (app->mainWindow() != nullptr && app->mainWindow()->isVisible()) {
                shown = true;
                app->mainWindow()->OnClose();
            }
        });
        closer.start(20);
        return app->Run();
    }

  private slots:
    void init() {
        app = std::make_unique<CReporterApp>();
        launcher = FakeLauncher();
        launcher.app = app.get();
        app->launcher = &launcher;
        answerer = std::make_unique<ModalAnswerer>();
        shown = false;
    }

    void cleanup() {
        QVERIFY2(answerer->unanswered().isEmpty(), qPrintable(answerer->unanswered().join(", ")));
        QCOMPARE(answerer->pending(), 0);
        answerer.reset();
        app.reset();
    }

    void settingsRootAndApplicationName() {
        QCOMPARE(app->settingsRoot(), QStringLiteral("Pellacor"));
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Pellacor"));
        QCOMPARE(app->applicationName(), QStringLiteral("app_component_check_test"));
        QCOMPARE(app->firstExpand, 1);
        QCOMPARE(app->exportRunning, 0);
        QCOMPARE(app->exportConfirmed, 0);
    }

    void usableComponentShowsNothingOfTheCheck() {
        app->createDatabase = Offering(true, true);
        QCOMPARE(Run(), int(QDialog::Accepted));
        QVERIFY(shown);
        QCOMPARE(answerer->answered(), 0);
        QCOMPARE(launcher.calls, 0);
    }

    void builtInComponentAnswersVersionSix() {
        sourcesafe::IVSSDatabase holder;
        QCOMPARE(ProbeComponentVersion(holder, BuiltInDatabaseFactory()), 6);
        QVERIFY(!holder.IsEmpty());
        QCOMPARE(holder.InterfaceId(), sourcesafe::IID_IVSSDatabase6);
        // A holder that holds an object answers at once, without creating another.
        int creations = 0;
        QCOMPARE(ProbeComponentVersion(holder,
                                       [&](const sourcesafe::Guid&, sourcesafe::IVSSDatabase&) {
                                           ++creations;
                                           return sourcesafe::S_OK;
                                       }),
                 6);
        QCOMPARE(creations, 0);
    }

    void baseInterfaceOnlyEndsWithTheVersionMessage() {
        app->createDatabase = Offering(false, true);
        SeenMessageBox seen;
        answerer->ExpectMessageBox(QMessageBox::Ok, &seen);
        QCOMPARE(Run(), -1);
        QCOMPARE(seen.text,
                 QStringLiteral(
                     "このVarnotteのバージョンをご利用頂くには、Visual SourceSafe 6 が必要です。"));
        QCOMPARE(seen.caption, QStringLiteral("Varnotte"));
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QVERIFY(!shown);
        QCOMPARE(launcher.calls, 0);
    }

    void noComponentAndNoEndsTheProgram() {
        app->createDatabase = Offering(false, false);
        SeenMessageBox seen;
        answerer->ExpectMessageBox(QMessageBox::No, &seen);
        QCOMPARE(Run(), -1);
        QCOMPARE(seen.text, kMissingText);
        QCOMPARE(seen.caption, QStringLiteral("Varnotte"));
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
        QVERIFY(!shown);
    }

    void cancelInLocateEndsWithoutRegistering() {
        app->createDatabase = Offering(false, false);
        QStringList seen;
        answerer->ExpectMessageBox(QMessageBox::Yes);
        answerer->ExpectFileDialogCancel(&seen);
        QCOMPARE(Run(), -1);
        QCOMPARE(seen.value(0), QStringLiteral("Locate VSS Component"));
        QCOMPARE(seen.value(1), QStringLiteral("ssapi.dll (ssapi.dll)"));
        QCOMPARE(seen.value(2), QStringLiteral("dll"));
        QCOMPARE(launcher.calls, 0);
        QVERIFY(!shown);
    }

    void chosenFileIsRegisteredAndWaitedForBeforeTheDialogShows() {
        varnotte::test::TempDir dir;
        const QString dll = QString::fromStdString((dir / "ssapi.dll").string());
        QFile(dll).open(QIODevice::WriteOnly);
        app->createDatabase = Offering(false, false);
        answerer->ExpectMessageBox(QMessageBox::Yes);
        answerer->ExpectFileDialog(dll);
        QCOMPARE(Run(), int(QDialog::Accepted));
        QCOMPARE(launcher.calls, 1);
        QCOMPARE(launcher.program, QStringLiteral("regsvr32.exe"));
        QCOMPARE(launcher.parameters, QStringLiteral("\"") + dll + QStringLiteral("\" -s"));
        QVERIFY(!launcher.dialogVisibleMeanwhile);
        QVERIFY(shown);  // whatever the registration did, the program goes on
    }

    void missingRegistrationToolIsNotAnError() {
        ShellProcessLauncher shell;
        QVERIFY(!shell.RunAndWait(QStringLiteral("regsvr32.exe"),
                                  QStringLiteral("\"/nowhere/ssapi.dll\" -s")));
    }
};

int main(int argc, char* argv[]) {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    ComponentCheckTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "component_check_test.moc"
