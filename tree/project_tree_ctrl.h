// The project tree: the dialog's view of a SourceSafe database, loaded one level per
// expansion, and the place where an export walks a whole subtree.
//
// The tree holds its own database connection. Each expansion of a project reloads its
// children; when an export is confirmed the expansion walks everything below the node
// instead and collects CSV rows. During a loading the tree and the dialog's login, browse,
// history and exit controls are disabled, Stop is enabled, the status line shows each
// visited item, and events are processed once per item so that Stop and the close box
// work. The tree reaches those controls through the TreeHost its window hands it.
//
// A right-click on a project or a file offers to get its latest version into a folder
// ("取得..."), and on a project the stock-taking report of its subtree
// ("棚卸しレポート..."), each with the same controls, status line and Stop as a loading.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTreeWidget>

#include <string>
#include <utility>
#include <vector>

#include "export/subtree_walk.h"
#include "sourcesafe/vss_database.h"
#include "tree/run_state.h"
#include "tree/tree_host.h"
#include "tree/tree_images.h"

namespace varnotte {

class CProjectTreeCtrl : public QTreeWidget, private WalkHost {
    Q_OBJECT

  public:
    explicit CProjectTreeCtrl(QWidget* parent = nullptr);
    ~CProjectTreeCtrl() override;

    // The shared run state (the application's); must outlive the tree.
    void SetRunState(RunState* state) { m_state = state; }
    // The window's status line and controls; null (the default) for none. Must outlive the
    // tree, or be taken back with SetHost(nullptr).
    void SetHost(TreeHost* host) { m_host = host; }
    void SetImageList(const TreeImageList& images);

    // Opens the database of `iniPath` for `user` and shows its root, expanded. Events are
    // processed while it opens, with the controls as during an expansion and the status
    // line telling what is read and how far: Stop (or the close box) ends it. When the
    // code page is still to be decided from the database's logs, the root's first level is
    // shown early, in the code page its texts point to, and read again once the logs have
    // decided it. Returns false when the database does not open: the tree and its
    // connection are then as they were, unless the root was shown early (it is cleared),
    // and when the opening was stopped (WasStopped): no database at all. Shows the wait
    // cursor while it opens, not during the root's expansion (its question, walk and save
    // dialog).
    bool OpenDatabase(const QString& iniPath, const QString& user, const QString& password);
    // Whether the last OpenDatabase was ended by Stop or the close box.
    bool WasStopped() const { return m_openStopped; }
    // The ANSI code page later opens read the database's texts in; 0 (the default) finds it
    // out from the texts.
    void SetCodePage(int codePage) { m_codePage = codePage; }

    // "$/" for the root, "$/Web/Images" below it; empty for no node.
    QString GetItemPath(QTreeWidgetItem* item) const;
    // Whether the node stands for a project (the root too), not a file.
    static bool IsProjectNode(const QTreeWidgetItem* item);

    // Visits the item at `spec` below `parent` (see SubtreeWalk::AddNode).
    void AddNode(QTreeWidgetItem* parent, const QString& spec, int depth);

    // Stop is enabled exactly when `enable` is false; "...", the user name and password
    // boxes, the history check box and Exit exactly when it is true (see TreeHost).
    void EnableControls(bool enable);

    // Whether an expansion is loading right now.
    bool IsLoading() const { return m_loading; }

    // Items that could not be read during the last expansion: spec and reason.
    const std::vector<std::pair<QString, QString>>& FailedItems() const { return m_failedItems; }
    // Items exported all the same, but damaged (a name in its short form, a lost data file).
    const std::vector<std::pair<QString, QString>>& DamagedItems() const { return m_damagedItems; }

    // Rows collected by the current expansion.
    std::vector<std::string> m_csvRows;
    // The tree's own connection; empty until a database is opened.
    sourcesafe::IVSSDatabase m_pDatabase;

    // A lazily loaded tree must not expand everything: that would read the whole database.
    void expandAll() {}

  signals:
    // An expansion (or collapse), or a command of the context menu, has been handled
    // completely.
    void expansionHandled();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Also brings the item into view sideways, as far as its button and label need.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    bool viewportEvent(QEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Asked at the start of every expansion but the first; true makes it an export.
    virtual bool ConfirmExport();
    // Writes the rows of a confirmed export.
    virtual void SaveCsv();

  private:
    // Asks for a folder and writes the node's latest content into it: a file as
    // <folder>/<name>, a project's items below the folder.
    void GetItem(QTreeWidgetItem* node);
    // Walks the project's subtree as varnotte-csv --report does and asks where to save
    // the report; a stopped walk saves nothing.
    void SaveReport(QTreeWidgetItem* node);
    void OnItemExpanding(QTreeWidgetItem* item, bool expand);
    QTreeWidgetItem* NewRoot();
    // The root's first level, nodes only. Throws OpenStopped when Stop came meanwhile.
    void ShowRootPreview(const sourcesafe::IVSSDatabase& database);
    // Reads the logs that decide the code page, processing events; throws OpenStopped.
    void ReadCodePageCensus(const sourcesafe::IVSSDatabase& database);
    // What a loading puts back when it ends: the focus and the status line from before it.
    struct LoadingStart {
        QPointer<QWidget> focus;
        QString statusBefore;
    };
    LoadingStart BeginLoading();
    void EndLoading(const QPointer<QWidget>& focus);
    // A command of the context menu (get, report) runs as a loading that closing the
    // window cancels: it clears exportConfirmed, which the command sets.
    LoadingStart BeginCommand();
    struct CommandEnd {
        bool stopped;  // by Stop or the close box
        bool closing;  // the window is closing: nothing more is shown
    };
    CommandEnd EndCommand(const LoadingStart& start);
    void ShowStatusNow(const QString& text);
    WalkFlags Flags() const;
    QTreeWidgetItem* NewNode(QTreeWidgetItem* parent, const std::string& name, bool project);
    void ShowPendingWork();
    // Whether `pos` is where the expand button of a node without one would be.
    bool OnHiddenButton(const QPoint& pos) const;
    // How far the item's icon starts from the column's left edge.
    int Indentation(const QModelIndex& index) const;
    // The item's icon and whole text, in viewport coordinates, however much of it is shown.
    QRect LabelRect(const QModelIndex& index) const;
    // Makes the column reach at least to the end of the item's label.
    void WidenColumnFor(const QModelIndex& index);

    // WalkHost
    void ProcessEvents() override;
    Node AddProjectNode(Node parent, const sourcesafe::IVSSItem& project) override;
    void AddFileNode(Node parent, const sourcesafe::IVSSItem& file) override;
    void ShowStatus(const std::string& spec) override;
    void AddRow(std::string row) override;
    void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) override;
    void ItemDamaged(const std::string& spec, const ItemDamage& damage) override;

    RunState* m_state = nullptr;
    RunState m_ownState;  // used until the application hands over its own
    TreeHost* m_host = nullptr;
    int m_noHistory = 0;
    TreeImageList m_images;
    QIcon m_folderIcon;
    QIcon m_documentIcon;
    bool m_loading = false;
    bool m_openStopped = false;
    int m_codePage = 0;
    mutable bool m_drawingRowWithoutButton = false;  // set while a row's branches are drawn
    // Children of the expanding node wait here, outside the view, and join it at screen
    // rate: inserting them one by one would lay the whole level out again for each.
    QTreeWidgetItem* m_expanding = nullptr;
    QList<QTreeWidgetItem*> m_staged;
    QString m_pendingStatus;
    QElapsedTimer m_sinceShown;
    std::vector<std::pair<QString, QString>> m_failedItems;
    std::vector<std::pair<QString, QString>> m_damagedItems;
};

}  // namespace varnotte
