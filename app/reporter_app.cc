#include "app/reporter_app.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "ui/brelwick_dlg.h"

namespace varnotte {

CReporterApp::CReporterApp()
    : m_settingsRoot(QStringLiteral("Pellacor")),
      // No title string is defined: the settings live under the program file's base name.
      m_applicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()),
      m_settings(m_settingsRoot, m_applicationName) {
    QCoreApplication::setOrganizationName(m_settingsRoot);
    QCoreApplication::setApplicationName(m_applicationName);
}

CReporterApp::~CReporterApp() = default;

int CReporterApp::Run() {
    // The 3-D control look, COM and ActiveX hosting have no counterpart here; the dialog
    // is built, run modally and destroyed in the same order as everywhere.
    CBrelwickDlg dialog(*this, this);
    m_mainWindow = &dialog;
    const int result = dialog.exec();
    m_mainWindow = nullptr;
    return result;
}

bool CReporterApp::CheckComponent(CBrelwickDlg& dialog) {
    return RunComponentCheck(dialog, createDatabase,
                             launcher != nullptr ? *launcher : m_shellLauncher);
}

void CReporterApp::LoadSettings(CBrelwickDlg& dialog) {
    m_settings.Load(dialog);
}

void CReporterApp::SaveSettings(CBrelwickDlg& dialog) {
    m_settings.Save(dialog);
}

}  // namespace varnotte
