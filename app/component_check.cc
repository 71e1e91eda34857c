#include "app/component_check.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

#include "ui/brelwick_dlg.h"

namespace varnotte {

namespace component_check_text {
const char* const kCaption = "Varnotte";
const char* const kVersionTooOld =
    "このVarnotteのバージョンをご利用頂くには、Visual SourceSafe %d が必要です。";
const char* const kComponentMissing =
    "Varnotteを使用するには、VSSにアクセスする為の'ssapi.dll' "
    "が必要です。\n\n'Yes'をクリック頂くと、'ssapi.dll'"
    "の存在確認及び、Varnotteへの設定を自動で行います。 \n "
    "又は、'No'をクリックしてVarnotteを終了し、'ssapi.dll'"
    "取得をマニュアル操作で行って下さい。";
const char* const kLocateTitle = "Locate VSS Component";
const char* const kLocateFilter = "ssapi.dll (ssapi.dll)";
const char* const kRegistrationTool = "regsvr32.exe";
const char* const kRegistrationParameters = "\"%s\" -s";
}  // namespace component_check_text

namespace {

namespace text = component_check_text;

constexpr int kVersionNeeded = 6;

QMessageBox::StandardButton Ask(QWidget* owner, const QString& message,
                                QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(text::kCaption), message, buttons,
                    owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

DatabaseFactory BuiltInDatabaseFactory() {
    return [](const sourcesafe::Guid& interfaceId, sourcesafe::IVSSDatabase& out) {
        return sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase,
                                          sourcesafe::CLSCTX_ALL_SERVERS, interfaceId, out);
    };
}

int ProbeComponentVersion(sourcesafe::IVSSDatabase& holder, const DatabaseFactory& create) {
    if (!holder.IsEmpty()) {
        return 6;
    }
    try {
        create(sourcesafe::IID_IVSSDatabase6, holder);
    } catch (...) {
        holder.Release();  // any failure only means "no such object"
    }
    if (!holder.IsEmpty()) {
        return 6;
    }
    sourcesafe::IVSSDatabase base;
    try {
        create(sourcesafe::IID_IVSSDatabase, base);
    } catch (...) {
        base.Release();
    }
    return base.IsEmpty() ? -1 : 5;
}

bool ShellProcessLauncher::RunAndWait(const QString& program, const QString& parameters) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(QProcess::splitCommand(parameters));
    process.start();
    if (!process.waitForStarted()) {
        return false;
    }
    process.waitForFinished(-1);
    return true;
}

bool RunComponentCheck(CBrelwickDlg& dialog, const DatabaseFactory& create,
                       ProcessLauncher& launcher) {
    const int version = ProbeComponentVersion(dialog.m_probeDatabase, create);
    if (version == 6) {
        return true;
    }
    if (version == 5) {
        Ask(&dialog,
            QString::fromUtf8(text::kVersionTooOld)
                .replace(QStringLiteral("%d"), QString::number(kVersionNeeded)),
            QMessageBox::Ok);
        dialog.EndDialog(-1);
        return false;
    }
    if (Ask(&dialog, QString::fromUtf8(text::kComponentMissing),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        dialog.EndDialog(-1);
        return false;
    }
    QFileDialog locate(&dialog, QString::fromUtf8(text::kLocateTitle), QString(),
                       QString::fromUtf8(text::kLocateFilter));
    locate.setAcceptMode(QFileDialog::AcceptOpen);
    locate.setFileMode(QFileDialog::ExistingFile);
    locate.setDefaultSuffix(QStringLiteral("dll"));
    if (locate.exec() != QDialog::Accepted || locate.selectedFiles().isEmpty()) {
        dialog.EndDialog(-1);
        return false;
    }
    const QString parameters =
        QString::fromUtf8(text::kRegistrationParameters)
            .replace(QStringLiteral("%s"), locate.selectedFiles().constFirst());
    // Whatever the registration's outcome, the program goes on; opening a database later
    // creates its object afresh and fails there if the component is still missing.
    launcher.RunAndWait(QString::fromUtf8(text::kRegistrationTool), parameters);
    return true;
}

}  // namespace varnotte
