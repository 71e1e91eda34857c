// The stock-taking report of a project's subtree, from the tree's context menu.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export/database_files.h"
#include "export/output_file_writer.h"
#include "export/subtree_walk.h"
#include "report/report_page.h"
#include "report/report_tally.h"
#include "tree/export_prompts.h"
#include "tree/project_tree_ctrl.h"

namespace varnotte {
namespace {

// Takes the walk's failures and status; the tally counts. No nodes: the tree stays as it is.
class ReportWalkHost : public WalkHost {
  public:
    ReportWalkHost(std::function<void(const std::string&)> status, std::function<void()> events)
        : status_(std::move(status)), events_(std::move(events)) {}

    void ProcessEvents() override { events_(); }
    Node AddProjectNode(Node, const sourcesafe::IVSSItem&) override { return nullptr; }
    void AddFileNode(Node, const sourcesafe::IVSSItem&) override {}
    void ShowStatus(const std::string& spec) override { status_(spec); }
    void AddRow(std::string) override {}
    void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) override {
        unreadable.push_back({spec, error.what(), false});
    }
    void ItemDamaged(const std::string& spec, const ItemDamage& damage) override {
        unreadable.push_back({spec, damage.Message(), true});
    }

    std::vector<UnreadableItem> unreadable;

  private:
    std::function<void(const std::string&)> status_;
    std::function<void()> events_;
};

}  // namespace

void CProjectTreeCtrl::SaveReport(QTreeWidgetItem* node) {
    const std::string spec = GetItemPath(node).toStdString();
    const LoadingStart start = BeginCommand();

    // Everything the walk can give, as varnotte-csv --report asks for it.
    const int firstExpand = 0;
    const int confirmed = 1;
    const int history = 1;
    const WalkFlags flags{firstExpand, m_state->exportRunning, confirmed, history};
    ReportTally tally(spec);
    WalkOptions options;
    options.includeDeleted = true;
    options.projectHistory = true;
    options.tally = &tally;
    ReportWalkHost host(
        [this](const std::string& visited) {
            m_pendingStatus = QString::fromUtf8(visited.data(), qsizetype(visited.size()));
        },
        [this] { ProcessEvents(); });
    SubtreeWalk(m_pDatabase, flags, host, options).ExpandProject(nullptr, spec);

    // Stopped, or the window closed: a report of part of the project would pass for the
    // whole, so none is made.
    const CommandEnd end = EndCommand(start);
    if (!end.stopped && !end.closing) {
        const DatabaseFiles database = FilesOf(m_pDatabase);
        const std::string page = ReportPage(
            m_pDatabase,
            ReportSource{database.iniPath.string(), spec, false, ReportLanguage::kJapanese}, tally,
            std::move(host.unreadable));
        SaveFileAs(
            this, QStringLiteral("棚卸しレポートを保存"),
            [&](const QString& path, WriteError& error) {
                OutputFileWriter writer;
                writer.ProtectDatabase(database);
                const bool ok = writer.Open(path) && writer.WriteUtf8Line(page) && writer.Commit();
                if (!ok) {
                    error = writer.error();
                }
                return ok;
            },
            QStringLiteral("HTML ファイル (*.html)"), QStringLiteral("html"));
    }
    emit expansionHandled();
}

}  // namespace varnotte
