#include "tree/project_tree_ctrl.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>

#include <algorithm>
#include <utility>

#include "export/open_database.h"
#include "tree/expand_button_style.h"
#include "tree/export_prompts.h"
#include "tree/open_progress.h"
#include "tree/prompt_text.h"

namespace varnotte {
namespace {

// Item data 1 marks a node whose children come from SourceSafe when it expands.
constexpr int kItemDataRole = Qt::UserRole;
// The children flag: 1 when the node shows an expand button, 0 when it shows none.
constexpr int kChildrenFlagRole = Qt::UserRole + 1;
// true on a project's node, the root's included.
constexpr int kProjectRole = Qt::UserRole + 2;

// The tree and the status line are brought up to date at most this often during a walk.
constexpr qint64 kRefreshMs = 16;

// Thrown from the opening's progress when Stop (or the close box) ends it.
struct OpenStopped {};

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The flag decides only whether the button is drawn (see ExpandButtonStyle). Qt's own
// indicator policy must still report the children a node holds: DontShowIndicator would
// make the model call the node childless, and the view would hide its files.
void SetChildrenFlag(QTreeWidgetItem* node, int flag) {
    node->setData(0, kChildrenFlagRole, flag);
    node->setChildIndicatorPolicy(flag != 0 ? QTreeWidgetItem::ShowIndicator
                                            : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

int FlagOf(const QModelIndex& index) {
    return index.data(kChildrenFlagRole).toInt();
}

}  // namespace

CProjectTreeCtrl::CProjectTreeCtrl(QWidget* parent) : QTreeWidget(parent), m_state(&m_ownState) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::StyledPanel);
    // The one column is as wide as the widest row in sight, not as the view: a deep or long
    // item makes the tree scroll sideways instead of being cut off. Only the rows in sight
    // are measured: measuring more on every layout made an expansion of 8,000 files take
    // minutes. So the rows are measured again whenever others come into sight.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setResizeContentsPrecision(0);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { header()->resizeSections(QHeaderView::ResizeToContents); });
    // The classic style draws the dotted lines that join nodes to their parents.
    auto* style = new ExpandButtonStyle([this] { return m_drawingRowWithoutButton; });
    style->setParent(this);
    setStyle(style);
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { OnItemExpanding(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { OnItemExpanding(item, false); });
}

CProjectTreeCtrl::~CProjectTreeCtrl() {
    // Nodes go first (the framework's own destruction), then the connection.
    clear();
    m_pDatabase.Release();
}

void CProjectTreeCtrl::SetImageList(const TreeImageList& images) {
    m_images = images;
    m_folderIcon = images.Icon(kClosedFolderImage, kOpenFolderImage);
    m_documentIcon = images.Icon(kDocumentImage, kDocumentImage);
}

WalkFlags CProjectTreeCtrl::Flags() const {
    const int& history = m_state->historyFlag != nullptr ? *m_state->historyFlag : m_noHistory;
    return WalkFlags{m_state->firstExpand, m_state->exportRunning, m_state->exportConfirmed,
                     history};
}

bool CProjectTreeCtrl::OpenDatabase(const QString& iniPath, const QString& user,
                                    const QString& password) {
    m_openStopped = false;
    if (m_loading) {
        return false;  // the walk on the stack holds nodes of the tree this would clear
    }
    const auto [focus, statusBefore] = BeginLoading();
    ShowStatusNow(OpeningStatusText(iniPath));
    sourcesafe::IVSSDatabase database;
    bool preview = false;
    {
        // Only the opening itself: the root's expansion may ask a question, walk the whole
        // database and ask where to save, and none of that shows the wait cursor.
        const WaitCursor wait;
        try {
            sourcesafe::OpenSettings settings;
            settings.codePage = m_codePage;
            // Reading every log to decide the code page is most of an opening: the root's
            // names come first, in the code page they point to, while the logs are read.
            settings.settleCodePageLate = true;
            database = OpenDatabaseAs(iniPath, user, password, settings);
            if (database.VSSItem("$/").IsEmpty()) {
                ShowStatusNow(statusBefore);
                EndLoading(focus);
                return false;
            }
            if (database.CodePagePending()) {
                database.AllowProvisionalCodePage();
                ShowRootPreview(database);
                preview = true;
                ReadCodePageCensus(database);
            }
        } catch (const OpenStopped&) {
            // Stopped (or the window closed): no database, as after a failed open, and
            // nothing to tell.
            clear();
            m_pDatabase.Release();
            m_openStopped = true;
            ShowStatusNow(QString());
            EndLoading(focus);
            emit expansionHandled();
            return false;
        } catch (const sourcesafe::VssError&) {
            if (preview) {
                clear();  // what it showed came from a database that no longer stands
                m_pDatabase.Release();
            }
            ShowStatusNow(preview ? QString() : statusBefore);
            EndLoading(focus);
            return false;
        }
    }
    EndLoading(focus);
    // Only now that the new database works do the old connection and nodes go; the root's
    // names shown early are read again, in the code page now decided.
    m_pDatabase = database;
    QTreeWidgetItem* root = preview ? topLevelItem(0) : NewRoot();
    if (preview) {
        OnItemExpanding(root, true);
    } else {
        root->setExpanded(true);  // handled by OnItemExpanding before this returns
    }
    if (focus != nullptr && focus->isEnabled() && QApplication::focusWidget() == nullptr) {
        focus->setFocus(Qt::OtherFocusReason);
    }
    update();
    return true;
}

QTreeWidgetItem* CProjectTreeCtrl::NewRoot() {
    clear();
    auto* root = new QTreeWidgetItem(this, QStringList{QStringLiteral("$")});
    root->setIcon(0, m_folderIcon);
    root->setData(0, kItemDataRole, 1);
    root->setData(0, kProjectRole, true);
    SetChildrenFlag(root, 1);
    return root;
}

void CProjectTreeCtrl::ShowRootPreview(const sourcesafe::IVSSDatabase& database) {
    m_pDatabase.Release();
    QTreeWidgetItem* root = NewRoot();
    {
        const QSignalBlocker quiet(this);  // no expansion: this is no user's doing
        root->setExpanded(true);
    }
    // One level, as a first expansion reads it, with no rows and no question.
    const int first = 1;
    const int none = 0;
    const WalkFlags flags{first, m_state->exportRunning, none, none};
    m_expanding = root;
    m_sinceShown.start();
    SubtreeWalk(database, flags, *this).ExpandProject(root, "$/");
    ShowPendingWork();
    m_expanding = nullptr;
    m_failedItems.clear();  // the expansion that follows reads them again and tells
    m_damagedItems.clear();
    if (m_state->exportRunning == 0) {
        throw OpenStopped{};
    }
}

void CProjectTreeCtrl::ReadCodePageCensus(const sourcesafe::IVSSDatabase& database) {
    QElapsedTimer sinceShown;
    sinceShown.start();
    // Called for every log: the status text is made only when it is shown.
    const auto tick = [&](const auto& statusText) {
        if (m_state->exportRunning == 0) {
            throw OpenStopped{};
        }
        if (sinceShown.elapsed() >= kRefreshMs) {
            if (const QString status = statusText(); !status.isNull()) {
                ShowStatusNow(status);
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            sinceShown.restart();
        }
    };
    const std::size_t logsInFolder =
        database.CountItemLogs([&] { tick([] { return QString(); }); });
    ShowStatusNow(CensusStatusText(0, logsInFolder));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    database.ConfirmCodePage([&](std::size_t logsDone) {
        tick([&] { return CensusStatusText(logsDone, logsInFolder); });
    });
}

CProjectTreeCtrl::LoadingStart CProjectTreeCtrl::BeginLoading() {
    // Taken before the tree is disabled, which moves the focus away from it.
    LoadingStart start{QApplication::focusWidget(),
                       m_host != nullptr ? m_host->StatusText() : QString()};
    setEnabled(false);
    m_state->exportRunning = 1;
    m_loading = true;
    EnableControls(false);
    return start;
}

void CProjectTreeCtrl::EndLoading(const QPointer<QWidget>& focus) {
    setEnabled(true);
    m_state->exportRunning = 0;
    m_loading = false;
    EnableControls(true);
    if (focus != nullptr && focus->isEnabled()) {
        focus->setFocus(Qt::OtherFocusReason);
    }
}

CProjectTreeCtrl::LoadingStart CProjectTreeCtrl::BeginCommand() {
    LoadingStart start = BeginLoading();
    m_state->exportConfirmed = 1;
    m_sinceShown.start();
    return start;
}

CProjectTreeCtrl::CommandEnd CProjectTreeCtrl::EndCommand(const LoadingStart& start) {
    m_pendingStatus = QString();
    ShowStatusNow(start.statusBefore);
    const CommandEnd end{m_state->exportRunning == 0, m_state->exportConfirmed == 0};
    m_state->exportConfirmed = 0;
    EndLoading(start.focus);
    return end;
}

void CProjectTreeCtrl::ShowStatusNow(const QString& text) {
    if (m_host != nullptr) {
        m_host->SetStatusText(text);
    }
}

bool CProjectTreeCtrl::IsProjectNode(const QTreeWidgetItem* item) {
    return item != nullptr && item->data(0, kProjectRole).toBool();
}

QString CProjectTreeCtrl::GetItemPath(QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return {};
    }
    QString path = item->text(0);
    for (QTreeWidgetItem* parent = item->parent(); parent != nullptr; parent = parent->parent()) {
        path = parent->text(0) + QLatin1Char('/') + path;
    }
    return path == QLatin1String("$") ? QStringLiteral("$/") : path;
}

void CProjectTreeCtrl::AddNode(QTreeWidgetItem* parent, const QString& spec, int depth) {
    const WalkFlags flags = Flags();
    SubtreeWalk(m_pDatabase, flags, *this).AddNode(parent, spec.toStdString(), depth);
}

void CProjectTreeCtrl::EnableControls(bool enable) {
    if (m_host != nullptr) {
        m_host->EnableForLoading(!enable);
    }
}

void CProjectTreeCtrl::OnItemExpanding(QTreeWidgetItem* item, bool expand) {
    m_state->exportConfirmed = 0;
    m_csvRows.clear();
    if (!expand) {
        emit expansionHandled();
        return;
    }
    // The question and the disabled tree take the focus away; a user who opened the node
    // with the keyboard goes on in the tree.
    const bool hadFocus = hasFocus();
    if (m_state->firstExpand == 0 && ConfirmExport()) {
        m_state->exportConfirmed = 1;
    }

    setEnabled(false);
    m_state->exportRunning = 1;
    m_loading = true;
    EnableControls(false);
    m_failedItems.clear();
    m_damagedItems.clear();

    if (item->data(0, kItemDataRole).toInt() != 0) {
        qDeleteAll(item->takeChildren());
        m_expanding = item;
        m_sinceShown.start();
        const WalkFlags flags = Flags();
        const QString path = GetItemPath(item);
        const bool anyProject =
            SubtreeWalk(m_pDatabase, flags, *this).ExpandProject(item, path.toStdString());
        ShowPendingWork();
        m_expanding = nullptr;
        // A project whose list could not be read keeps its button, to be tried again.
        const bool listRead =
            std::none_of(m_failedItems.begin(), m_failedItems.end(),
                         [&](const auto& failed) { return failed.first == path; });
        if (!anyProject && listRead) {
            SetChildrenFlag(item, 0);  // its files stay listed below it
        } else if (!listRead && item->childCount() == 0) {
            // An open node with nothing below it shows no button, and nothing could open it
            // again: closed, quietly, it shows its button to be tried again.
            const QSignalBlocker quiet(this);
            item->setExpanded(false);
            scheduleDelayedItemsLayout();  // the view remembers the row as childless
        }
    }

    setEnabled(true);
    if (hadFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    m_state->exportRunning = 0;
    m_loading = false;
    EnableControls(true);

    if (m_state->firstExpand != 0) {
        m_state->firstExpand = 0;
    } else if (m_state->exportConfirmed == 1) {
        SaveCsv();
    }
    emit expansionHandled();
}

bool CProjectTreeCtrl::ConfirmExport() {
    return AskToExport(this);
}

void CProjectTreeCtrl::SaveCsv() {
    // A partial file must never pass for a complete one.
    if (!m_failedItems.empty() || !m_damagedItems.empty()) {
        WarnUnreadableItems(this, m_failedItems, m_damagedItems);
    }
    SaveRowsAs(this, m_csvRows, FilesOf(m_pDatabase));
}

void CProjectTreeCtrl::keyPressEvent(QKeyEvent* event) {
    // "*" expands every loaded node below the current one, each expansion a reload.
    if (event->key() == Qt::Key_Asterisk) {
        event->accept();
        return;
    }
    // A key may come before the view has measured the rows the last one opened. The move
    // starts from the current item's place, and from a place outside the column Qt selects
    // whatever is at the top left instead.
    executeDelayedItemsLayout();
    header()->resizeSections(QHeaderView::ResizeToContents);
    WidenColumnFor(currentIndex());
    // Qt moves to the parent instead while the view is scrolled sideways.
    const QModelIndex current = currentIndex();
    if (event->key() == Qt::Key_Left && event->modifiers() == Qt::NoModifier && current.isValid() &&
        isExpanded(current)) {
        collapse(current);
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

int CProjectTreeCtrl::Indentation(const QModelIndex& index) const {
    int depth = rootIsDecorated() ? 1 : 0;
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        ++depth;
    }
    return depth * indentation();
}

QRect CProjectTreeCtrl::LabelRect(const QModelIndex& index) const {
    const QRect row = visualRect(index);
    return QRect(columnViewportPosition(0) + Indentation(index), row.top(),
                 sizeHintForIndex(index).width(), row.height());
}

void CProjectTreeCtrl::WidenColumnFor(const QModelIndex& index) {
    // The item about to become current may not be in sight yet (End, Page Down), and its
    // label must lie inside the column.
    if (!index.isValid()) {
        return;
    }
    const int needed = Indentation(index) + sizeHintForIndex(index).width();
    if (header()->sectionSize(0) < needed) {
        header()->resizeSection(0, needed);
    }
}

void CProjectTreeCtrl::scrollTo(const QModelIndex& index, ScrollHint hint) {
    WidenColumnFor(index);
    QScrollBar* bar = horizontalScrollBar();
    const int before = bar->value();
    QTreeWidget::scrollTo(index, hint);
    if (!index.isValid()) {
        return;
    }
    // Qt shows a column wider than the view from its left edge, and a deep item stays out
    // of sight. The view moves sideways only as far as the item's button and label need.
    bar->setValue(before);
    const QRect label = LabelRect(index);
    const int left = label.left() - indentation();
    const int width = viewport()->width();
    if (left < 0 || label.right() - left >= width) {
        bar->setValue(bar->value() + left);
    } else if (label.right() >= width) {
        bar->setValue(bar->value() + label.right() + 1 - width);
    }
}

bool CProjectTreeCtrl::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTreeWidget::viewportEvent(event);
    }
    // The full name of an item cut off by the edge of the view, or elided, as a tooltip.
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QRect label = index.isValid() ? LabelRect(index) : QRect();
    const QRect shown =
        label.intersected(viewport()->rect())
            .intersected(QRect(columnViewportPosition(0), 0, columnWidth(0), viewport()->height()));
    if (label.contains(help->pos()) && shown != label) {
        QToolTip::showText(help->globalPos(), index.data(Qt::DisplayRole).toString(), viewport(),
                           shown);
    } else {
        QToolTip::hideText();
    }
    return true;
}

void CProjectTreeCtrl::drawBranches(QPainter* painter, const QRect& rect,
                                    const QModelIndex& index) const {
    m_drawingRowWithoutButton = FlagOf(index) == 0;
    QTreeWidget::drawBranches(painter, rect, index);
    m_drawingRowWithoutButton = false;
}

bool CProjectTreeCtrl::OnHiddenButton(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || FlagOf(index) != 0) {
        return false;
    }
    const int itemLeft = visualRect(index).left();
    return pos.x() < itemLeft && pos.x() >= itemLeft - indentation();
}

// Where no button is drawn, a click there does what a click on the empty line does on
// the original control: nothing. Only the keyboard collapses such a node and opens it again.
void CProjectTreeCtrl::mousePressEvent(QMouseEvent* event) {
    if (OnHiddenButton(event->position().toPoint())) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CProjectTreeCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (OnHiddenButton(event->position().toPoint())) {
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CProjectTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool noButton = index.isValid() && FlagOf(index) == 0;
    if (noButton) {
        setExpandsOnDoubleClick(false);
    }
    QTreeWidget::mouseDoubleClickEvent(event);
    if (noButton) {
        setExpandsOnDoubleClick(true);
    }
}

QTreeWidgetItem* CProjectTreeCtrl::NewNode(QTreeWidgetItem* parent, const std::string& name,
                                           bool project) {
    auto* node = new QTreeWidgetItem(QStringList{FromUtf8(name)});
    node->setData(0, kItemDataRole, 1);
    node->setData(0, kProjectRole, project);
    node->setIcon(0, project ? m_folderIcon : m_documentIcon);
    SetChildrenFlag(node, project ? 1 : 0);
    if (parent == nullptr) {
        addTopLevelItem(node);
    } else if (parent == m_expanding) {
        m_staged.append(node);
    } else {
        parent->addChild(node);  // staged or below a collapsed node: no layout to redo
    }
    return node;
}

void CProjectTreeCtrl::ShowPendingWork() {
    if (m_expanding != nullptr && !m_staged.isEmpty()) {
        m_expanding->addChildren(m_staged);
        m_staged.clear();
    }
    if (!m_pendingStatus.isNull()) {
        ShowStatusNow(std::exchange(m_pendingStatus, QString()));
    }
    m_sinceShown.restart();
}

void CProjectTreeCtrl::ProcessEvents() {
    if (m_sinceShown.isValid() && m_sinceShown.elapsed() >= kRefreshMs) {
        ShowPendingWork();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

namespace {

// A name shown as its stored short form says so where the pointer rests on it.
void MarkUncertainName(QTreeWidgetItem* node, const sourcesafe::IVSSItem& item) {
    if (const vssdb::NameDoubt* doubt = item.UncertainName()) {
        node->setToolTip(
            0, QStringLiteral("名前を読めないため、保存されている短い形で表示しています (%1)")
                   .arg(QString::fromStdString(doubt->cause.Text())));
    }
}

}  // namespace

WalkHost::Node CProjectTreeCtrl::AddProjectNode(Node parent, const sourcesafe::IVSSItem& project) {
    QTreeWidgetItem* node = NewNode(static_cast<QTreeWidgetItem*>(parent), project.Name(), true);
    MarkUncertainName(node, project);
    return node;
}

void CProjectTreeCtrl::AddFileNode(Node parent, const sourcesafe::IVSSItem& file) {
    MarkUncertainName(NewNode(static_cast<QTreeWidgetItem*>(parent), file.Name(), false), file);
}

void CProjectTreeCtrl::ShowStatus(const std::string& spec) {
    m_pendingStatus = FromUtf8(spec);
}

void CProjectTreeCtrl::AddRow(std::string row) {
    m_csvRows.push_back(std::move(row));
}

void CProjectTreeCtrl::ItemFailed(const std::string& spec, const sourcesafe::VssError& error) {
    m_failedItems.emplace_back(FromUtf8(spec), QString::fromUtf8(error.what()));
}

void CProjectTreeCtrl::ItemDamaged(const std::string& spec, const ItemDamage& damage) {
    m_damagedItems.emplace_back(FromUtf8(spec), QString::fromStdString(damage.Message()));
}

}  // namespace varnotte
