// The main dialog: SourceSafe login, the choice of database, the project tree, the
// "履歴も出力" check box, Stop, Exit and a status line.
//
// Controls sit where the dialog template puts them, in dialog units of the dialog font.
// The dialog keeps member copies of its control values and copies both ways explicitly
// (UpdateData). Every Enter key press addressed to the dialog is taken before the
// dialog's own keyboard handling: in the user name or password box it logs in again,
// anywhere else it does nothing, so it never presses the default button. Esc does
// nothing; Exit, the close box and the system close end the dialog with OK.
#pragma once

#include <QDialog>
#include <QString>

#include "sourcesafe/vss_database.h"
#include "tree/run_state.h"
#include "tree/tree_host.h"
#include "tree/tree_images.h"
#include "ui/database_list.h"
#include "ui/dialog_units.h"
#include "uilib/rect.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStyle;

namespace varnotte {

class CProjectTreeCtrl;
class DialogLifecycle;

// The project tree's host: the tree writes the status line and switches the controls
// through it, and the dialog finds them by their ids.
class CBrelwickDlg : public QDialog, private TreeHost {
    Q_OBJECT

  public:
    // `state` and `lifecycle` (may be null: no component check, no settings) must outlive
    // the dialog.
    CBrelwickDlg(RunState& state, DialogLifecycle* lifecycle, QWidget* parent = nullptr);
    ~CBrelwickDlg() override;

    // Initialises the dialog (which may end it at once, with -1) and runs it modally.
    int exec() override;

    // The control with `id`, or null.
    QWidget* GetDlgItem(int id) const;

    // Controls to members (true) or members to controls (false).
    void UpdateData(bool saveAndValidate);
    // Stop disabled, Exit enabled; nothing else changes.
    void ApplyIdleEnabling();

    // Ends the dialog with `code`; during initialisation the dialog is then never shown.
    void EndDialog(int code);

    // The smallest size the window may be given, in pixels, frame included (as a tracking
    // size is): the client area's minimum is this less the window manager's frame.
    static constexpr QSize kMinimumSize{220, 252};

    // Title "Varnotte", or "Varnotte - <path>" once a database was chosen with "...".
    void UpdateTitle();

    // The settings' current database, opened once the window has been painted: the window
    // comes first, and reading a big database can take long. On success it is selected in
    // the database list and the tree's root is the current node; otherwise nothing is
    // selected and nothing is told, unless the window was closed meanwhile (it is kept for
    // the next start).
    void ReopenWhenShown(const QString& path);

    CProjectTreeCtrl* projectTree() const { return m_projectTree; }
    DialogBaseUnits baseUnits() const { return m_baseUnits; }

    // Members, copied to and from the controls by UpdateData.
    DatabaseList m_databaseList;
    QString m_databasePath;
    QString m_password;
    QString m_userName;
    QString m_statusText;
    int m_outputHistory = 0;
    // Created, unopened, by the component check; released with the window.
    sourcesafe::IVSSDatabase m_probeDatabase;
    TreeImageList m_treeImages;

  public slots:
    void OnBrowse();
    void OnStop();
    void OnClose();

    // The dialog's initialisation (exec() runs it first): icons and images, the component
    // check, the settings, the enabling. Returns false when it ended the dialog.
    bool OnInitDialog();

  signals:
    // The database of ReopenWhenShown has been opened (or not).
    void storedDatabaseReopened(bool opened);

  protected:
    void reject() override;  // Esc
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // TreeHost
    QString StatusText() const override;
    void SetStatusText(const QString& text) override;
    void EnableForLoading(bool loading) override;

    void CreateControls();
    void ApplyMinimumTrackingSize();
    // Turns control 1069 into the size grip and nudges it into the corner.
    void PrepareSizeGrip();
    // The status line's place: ending 10 pixels left of the exit button at `exit`.
    static CRect StatusLineBeside(CRect status, const CRect& exit);
    // Shifts and stretches the controls by the change of the client size, in one batch.
    void OnSize(bool minimized, bool maximized, int width, int height);
    void OnLoginKey(QWidget* target);
    void OnExpansionHandled();
    void ReopenStoredDatabase();
    // Makes `path` the current database, in the list too.
    void RecordDatabase(const QString& path);
    // After an opening was stopped: no current database, as after a failed open.
    void ShowNoDatabase();

    RunState& m_state;
    DialogLifecycle* m_lifecycle;
    DialogBaseUnits m_baseUnits;
    CProjectTreeCtrl* m_projectTree = nullptr;
    QLineEdit* m_userNameEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QCheckBox* m_historyCheck = nullptr;
    QLabel* m_statusLine = nullptr;
    QStyle* m_focusCueStyle = nullptr;  // the buttons' style, with a visible focus cue
    bool m_chosenWithBrowse = false;
    bool m_endedInInit = false;
    bool m_closeAfterLoading = false;
    bool m_browseAfterLoading = false;
    bool m_statusLineFitted = false;  // the status line has been ended beside Exit once
    bool m_closing = false;           // closed while a loading was on the stack
    QString m_storedDatabase;         // to reopen once shown
    bool m_reopenQueued = false;
    QSize m_previousClientSize{0, 0};  // 0 x 0 until the first resize has been seen
};

}  // namespace varnotte
