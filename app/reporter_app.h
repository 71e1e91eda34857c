// The application object: brings the platform up, runs the main dialog modally, and
// brings it down again. The whole program is that one dialog.
//
// It holds the run state that the dialog, the project tree and the export share, and
// provides the dialog's start and end steps: the component check and the settings.
#pragma once

#include <QString>

#include <memory>

#include "app/component_check.h"
#include "app/settings_store.h"
#include "tree/run_state.h"
#include "ui/dialog_lifecycle.h"

namespace varnotte {

class CReporterApp : public RunState, public DialogLifecycle {
  public:
    // A QApplication must exist. The settings root and application name are set here.
    CReporterApp();
    ~CReporterApp() override;

    // Runs the program: start-up, the modal dialog, shut-down. Returns the dialog's end code.
    int Run();

    const QString& settingsRoot() const { return m_settingsRoot; }
    const QString& applicationName() const { return m_applicationName; }
    CBrelwickDlg* mainWindow() const { return m_mainWindow; }

    // DialogLifecycle
    bool CheckComponent(CBrelwickDlg& dialog) override;
    void LoadSettings(CBrelwickDlg& dialog) override;
    void SaveSettings(CBrelwickDlg& dialog) override;

    // Replaceable for tests: how database objects are created, how programs are started.
    DatabaseFactory createDatabase = BuiltInDatabaseFactory();
    ProcessLauncher* launcher = nullptr;  // null: the shell

  private:
    QString m_settingsRoot;
    QString m_applicationName;
    SettingsStore m_settings;
    CBrelwickDlg* m_mainWindow = nullptr;
    ShellProcessLauncher m_shellLauncher;
};

}  // namespace varnotte
