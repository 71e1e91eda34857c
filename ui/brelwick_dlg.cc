#include "ui/brelwick_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSizeGrip>

#include <utility>

#include "tree/project_tree_ctrl.h"
#include "ui/app_resources.h"
#include "ui/dialog_lifecycle.h"
#include "ui/dialog_template.h"
#include "ui/focus_cue_style.h"
#include "uilib/deferred_layout.h"
#include "uilib/dialog_item.h"

namespace varnotte {
namespace {

const QString kOpenFailedText =
    QStringLiteral("ID及び、PWが正しい事とご利用のIDが正しい利用権限があることを確認下さい。");
const QString kOpenFailedCaption = QStringLiteral("Vss データベースを開く事ができません。");

bool IsEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

CBrelwickDlg::CBrelwickDlg(RunState& state, DialogLifecycle* lifecycle, QWidget* parent)
    : QDialog(parent), m_state(state), m_lifecycle(lifecycle) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(kDialogCaption));
    setFont(DialogFont());
    setMinimumSize(kMinimumSize);
    m_baseUnits = BaseUnitsOf(font());
    CreateControls();
    // Enter must be seen before any control or the dialog itself handles it.
    qApp->installEventFilter(this);
}

CBrelwickDlg::~CBrelwickDlg() {
    qApp->removeEventFilter(this);
    // The tree clears itself as it goes, after this object's own members are gone.
    m_projectTree->disconnect(this);
    m_projectTree->SetHost(nullptr);
    m_probeDatabase.Release();
}

void CBrelwickDlg::CreateControls() {
    m_focusCueStyle = new FocusCueStyle;
    m_focusCueStyle->setParent(this);
    const QRect client = DialogUnitsToPixels(QRect(QPoint(0, 0), kDialogSizeUnits), m_baseUnits);
    resize(client.size());
    QLabel* pendingLabel = nullptr;
    for (const ControlTemplate& control : kControls) {
        const QString caption = QString::fromUtf8(control.caption);
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::kLabel:
                pendingLabel = new QLabel(caption, this);
                widget = pendingLabel;
                break;
            case ControlKind::kEdit:
            case ControlKind::kPasswordEdit: {
                auto* edit = new QLineEdit(this);
                if (control.kind == ControlKind::kPasswordEdit) {
                    edit->setEchoMode(QLineEdit::Password);
                    m_passwordEdit = edit;
                } else {
                    m_userNameEdit = edit;
                }
                connect(edit, &QLineEdit::textEdited, this, [this] { UpdateData(true); });
                widget = edit;
                break;
            }
            case ControlKind::kCheckBox:
                m_historyCheck = new QCheckBox(caption, this);
                m_historyCheck->setStyle(m_focusCueStyle);
                connect(m_historyCheck, &QCheckBox::clicked, this, [this] {
                    UpdateData(true);
                    UpdateData(false);
                });
                widget = m_historyCheck;
                break;
            case ControlKind::kButton:
            case ControlKind::kDefaultButton: {
                auto* button = new QPushButton(caption, this);
                button->setAutoDefault(false);
                button->setStyle(m_focusCueStyle);
                button->setDefault(control.kind == ControlKind::kDefaultButton);
                widget = button;
                break;
            }
            case ControlKind::kTree:
                m_projectTree = new CProjectTreeCtrl(this);
                m_projectTree->SetRunState(&m_state);
                m_projectTree->SetHost(this);
                widget = m_projectTree;
                break;
            case ControlKind::kStatus:
                m_statusLine = new QLabel(this);
                m_statusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                m_statusLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                widget = m_statusLine;
                break;
            case ControlKind::kSizeGrip:
                widget = new QSizeGrip(this);
                break;
        }
        widget->setGeometry(DialogUnitsToPixels(control.units, m_baseUnits));
        if (control.id != 0) {
            SetDlgItemId(widget, control.id);
            if (pendingLabel != nullptr && pendingLabel != widget) {
                pendingLabel->setBuddy(widget);  // the label's mnemonic moves the focus here
                pendingLabel = nullptr;
            }
        }
    }
    // Windows reports the template's size as the window's first resize. Recorded here, a
    // size set before the window is shown (restored settings; a hidden widget gets one
    // resize event, at show, with its last size) moves the controls as any resize does.
    m_previousClientSize = size();
    for (std::size_t i = 1; i < std::size(kTabOrder); ++i) {
        setTabOrder(GetDlgItem(kTabOrder[i - 1]), GetDlgItem(kTabOrder[i]));
    }
    connect(qobject_cast<QPushButton*>(GetDlgItem(IDC_BROWSE)), &QPushButton::clicked, this,
            &CBrelwickDlg::OnBrowse);
    connect(qobject_cast<QPushButton*>(GetDlgItem(IDC_STOP)), &QPushButton::clicked, this,
            &CBrelwickDlg::OnStop);
    connect(qobject_cast<QPushButton*>(GetDlgItem(IDOK)), &QPushButton::clicked, this,
            &CBrelwickDlg::OnClose);
    connect(m_projectTree, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_projectTree->IsLoading()) {
            ApplyIdleEnabling();
        }
    });
    connect(m_projectTree, &CProjectTreeCtrl::expansionHandled, this,
            &CBrelwickDlg::OnExpansionHandled);
}

QWidget* CBrelwickDlg::GetDlgItem(int id) const {
    return FindDlgItem(const_cast<CBrelwickDlg*>(this), id);
}

QString CBrelwickDlg::StatusText() const {
    const auto* status = qobject_cast<const QLabel*>(GetDlgItem(IDC_STATUS));
    return status != nullptr ? status->text() : QString();
}

void CBrelwickDlg::SetStatusText(const QString& text) {
    if (auto* status = qobject_cast<QLabel*>(GetDlgItem(IDC_STATUS))) {
        status->setText(text);
    }
}

void CBrelwickDlg::EnableForLoading(bool loading) {
    if (QWidget* stop = GetDlgItem(IDC_STOP)) {
        stop->setEnabled(loading);
    }
    for (const int id : {IDC_BROWSE, IDC_USER_NAME, IDC_PASSWORD, IDC_OUTPUT_HISTORY, IDOK}) {
        if (QWidget* control = GetDlgItem(id)) {
            control->setEnabled(!loading);
        }
    }
}

int CBrelwickDlg::exec() {
    m_endedInInit = false;
    if (!OnInitDialog() || m_endedInInit) {
        return result();
    }
    m_userNameEdit->setFocus();
    return QDialog::exec();
}

bool CBrelwickDlg::OnInitDialog() {
    m_state.historyFlag = &m_outputHistory;
    setWindowIcon(ApplicationIcon());
    m_treeImages = TreeImages();
    m_projectTree->SetImageList(m_treeImages);
    if (m_lifecycle != nullptr) {
        if (!m_lifecycle->CheckComponent(*this)) {
            return false;
        }
        m_lifecycle->LoadSettings(*this);
    }
    UpdateData(true);
    ApplyIdleEnabling();
    PrepareSizeGrip();
    return true;
}

void CBrelwickDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_statusLineFitted) {
        // The template spans the status line under Exit; the resize rule ends it beside the
        // button, and it does so here too, before the first resize.
        m_statusLineFitted = true;
        CDeferredLayout layout(1);
        layout.MoveToRect(GetDlgItem(IDC_STATUS),
                          StatusLineBeside(layout.OffsetDlgItem(this, IDC_STATUS, 0, 0),
                                           layout.OffsetDlgItem(this, IDOK, 0, 0)),
                          true);
    }
}

CRect CBrelwickDlg::StatusLineBeside(CRect status, const CRect& exit) {
    status.right = exit.left - 10;
    return status;
}

void CBrelwickDlg::PrepareSizeGrip() {
    CDeferredLayout layout(1);
    layout.OffsetDlgItem(this, IDC_SIZE_GRIP, 1, 2);
}

void CBrelwickDlg::ApplyMinimumTrackingSize() {
    // The frame is known only once a window manager has decorated the window; until then
    // (and on platforms without one) it counts as nothing.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client = (kMinimumSize - frame).expandedTo(QSize(0, 0));
    if (minimumSize() != client) {
        setMinimumSize(client);
    }
}

void CBrelwickDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    ApplyMinimumTrackingSize();
}

void CBrelwickDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyMinimumTrackingSize();
    OnSize(isMinimized(), isMaximized(), event->size().width(), event->size().height());
}

void CBrelwickDlg::OnSize(bool minimized, bool maximized, int width, int height) {
    if (minimized) {
        return;
    }
    if (m_previousClientSize.width() != 0 && m_previousClientSize.height() != 0) {
        const int dx = width - m_previousClientSize.width();
        const int dy = height - m_previousClientSize.height();
        CDeferredLayout layout(20);
        if (dy != 0) {
            layout.OffsetDlgItem(this, IDC_STOP, 0, dy);
            layout.GrowDlgItem(this, IDC_PROJECT_TREE, 0, dy);
        }
        if (dx != 0 || dy != 0) {
            layout.OffsetDlgItem(this, IDC_SIZE_GRIP, dx, dy);
            layout.OffsetDlgItem(this, IDC_BROWSE, dx, 0);
            const CRect exit = layout.OffsetDlgItem(this, IDOK, dx, dy);
            CRect status = layout.OffsetDlgItem(this, IDC_STATUS, 0, 0);
            status.top += dy;
            status.bottom += dy;
            layout.MoveToRect(GetDlgItem(IDC_STATUS), StatusLineBeside(status, exit), true);
            // Computed from the tree's place before the batch, so this growth is the one
            // that counts.
            layout.GrowDlgItem(this, IDC_PROJECT_TREE, dx, dy);
        }
    }
    if (QWidget* grip = GetDlgItem(IDC_SIZE_GRIP)) {
        grip->setVisible(!maximized);
    }
    m_previousClientSize = QSize(width, height);
}

void CBrelwickDlg::EndDialog(int code) {
    if (isVisible()) {
        done(code);
        return;
    }
    m_endedInInit = true;
    setResult(code);
}

void CBrelwickDlg::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_userName = m_userNameEdit->text();
        m_password = m_passwordEdit->text();
        m_outputHistory = m_historyCheck->isChecked() ? 1 : 0;
        m_databasePath = m_databaseList.selectedText();
        m_statusText = m_statusLine->text();
        return;
    }
    m_userNameEdit->setText(m_userName);
    m_passwordEdit->setText(m_password);
    m_historyCheck->setChecked(m_outputHistory == 1);
    const int entry = m_databaseList.FindPrefix(m_databasePath);
    if (entry >= 0) {
        m_databaseList.Select(entry);
    }
    // The status line is the tree's to write; its member is only ever read back.
}

void CBrelwickDlg::ApplyIdleEnabling() {
    UpdateData(true);
    GetDlgItem(IDC_STOP)->setEnabled(false);
    GetDlgItem(IDOK)->setEnabled(true);
}

void CBrelwickDlg::UpdateTitle() {
    const QString caption = QString::fromUtf8(kDialogCaption);
    setWindowTitle(m_chosenWithBrowse ? caption + QStringLiteral(" - ") + m_databasePath : caption);
}

void CBrelwickDlg::OnBrowse() {
    if (m_projectTree->IsLoading()) {
        // Stop enables "..." while the walk is still unwinding: opening another database
        // now would pull its tree from under it. The click is answered once it has ended.
        m_browseAfterLoading = true;
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Open Database"), m_databasePath,
                       QStringLiteral("VSS Databases (srcsafe.ini) (*.ini)"));
    dialog.setOption(QFileDialog::HideNameFilterDetails);  // the filter reads as its name
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    if (!m_projectTree->OpenDatabase(path, m_userName, m_password)) {
        if (m_projectTree->WasStopped()) {
            if (m_closing) {
                RecordDatabase(path);  // the user's choice, for the settings saved now
            } else {
                ShowNoDatabase();
            }
            return;
        }
        QMessageBox box(QMessageBox::NoIcon, kOpenFailedCaption, kOpenFailedText, QMessageBox::Ok,
                        this);
        box.exec();
        return;
    }
    RecordDatabase(path);
    UpdateData(false);
    ApplyIdleEnabling();
    m_chosenWithBrowse = true;
    UpdateTitle();
}

void CBrelwickDlg::RecordDatabase(const QString& path) {
    m_databasePath = path;
    m_databaseList.Select(m_databaseList.Add(path));
}

void CBrelwickDlg::ShowNoDatabase() {
    m_databaseList.Select(-1);
    UpdateData(true);
    ApplyIdleEnabling();
    m_chosenWithBrowse = false;
    UpdateTitle();
}

void CBrelwickDlg::ReopenWhenShown(const QString& path) {
    m_storedDatabase = path;
}

void CBrelwickDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!m_storedDatabase.isEmpty() && !m_reopenQueued) {
        // Queued: the window's first picture is finished (its controls are painted after
        // it) before the database is read.
        m_reopenQueued = true;
        QMetaObject::invokeMethod(this, &CBrelwickDlg::ReopenStoredDatabase, Qt::QueuedConnection);
    }
}

void CBrelwickDlg::ReopenStoredDatabase() {
    const QString path = std::exchange(m_storedDatabase, QString());
    if (path.isEmpty()) {
        return;
    }
    if (!isVisible()) {
        return;
    }
    bool opened = false;
    try {
        opened = m_projectTree->OpenDatabase(path, m_userName, m_password);
    } catch (...) {
        // A start-up that cannot reopen the last database goes on without it, silently.
    }
    // Closing the window stopped it: the database stays the current one for the next start.
    if (opened || (m_closing && m_projectTree->WasStopped())) {
        RecordDatabase(path);
        if (QTreeWidgetItem* root = m_projectTree->topLevelItem(0)) {
            m_projectTree->setCurrentItem(root);
        }
    } else {
        m_databaseList.Select(-1);
    }
    if (!m_closing) {
        ApplyIdleEnabling();
    }
    emit storedDatabaseReopened(opened);
}

void CBrelwickDlg::OnLoginKey(QWidget* /*target*/) {
    UpdateData(true);
    if (!m_databasePath.isEmpty()) {
        // Nothing is shown either way: success rebuilds the tree, failure leaves it.
        if (!m_projectTree->OpenDatabase(m_databasePath, m_userName, m_password) &&
            m_projectTree->WasStopped() && !m_closing) {
            ShowNoDatabase();
        }
    }
}

void CBrelwickDlg::OnStop() {
    m_state.exportRunning = 0;
    UpdateData(true);
    m_projectTree->EnableControls(true);
}

void CBrelwickDlg::OnClose() {
    if (m_projectTree->IsLoading()) {
        // The walk is deeper on the stack: stop it, save nothing it collected, and end
        // the dialog once it has unwound.
        m_state.exportRunning = 0;
        m_state.exportConfirmed = 0;
        m_closeAfterLoading = true;
        m_closing = true;
        return;
    }
    if (!m_storedDatabase.isEmpty()) {
        // Closed before the stored database was read: it stays the current one.
        RecordDatabase(std::exchange(m_storedDatabase, QString()));
    }
    UpdateData(true);
    done(QDialog::Accepted);
    if (m_lifecycle != nullptr) {
        m_lifecycle->SaveSettings(*this);
    }
}

void CBrelwickDlg::OnExpansionHandled() {
    // Queued: the expansion may still be on the stack (inside the tree's own expand, or
    // inside OpenDatabase, whose caller records the database once it returns).
    if (m_closeAfterLoading) {
        m_closeAfterLoading = false;
        m_browseAfterLoading = false;
        QMetaObject::invokeMethod(this, &CBrelwickDlg::OnClose, Qt::QueuedConnection);
    } else if (m_browseAfterLoading) {
        m_browseAfterLoading = false;
        QMetaObject::invokeMethod(this, &CBrelwickDlg::OnBrowse, Qt::QueuedConnection);
    }
}

void CBrelwickDlg::reject() {
    // Esc does nothing; the close box and Exit take the close path.
}

void CBrelwickDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnClose();
}

bool CBrelwickDlg::eventFilter(QObject* watched, QEvent* event) {
    if (IsEnterKey(event)) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && (widget == this || isAncestorOf(widget))) {
            if (!m_projectTree->IsLoading() &&
                (widget == m_userNameEdit || widget == m_passwordEdit)) {
                OnLoginKey(widget);
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace varnotte
