// The walk over a project's subtree that both the project tree and the headless exporter
// run, so that the two always agree on which rows come out and in which order.
//
// The walk loads the children of an expanded project and descends as the shared flags
// allow: one level for a plain expansion, the whole subtree for a confirmed export, and
// nothing more once the export stops running. Rows come out depth-first in pre-order,
// children in the database's order; a file's version rows (newest first, when history is
// on) come before its own row; the expanded project itself gets no row. An expansion that
// is no confirmed export shows nodes only and gathers no rows.
//
// An item that cannot be read is skipped and reported to the host; the walk goes on. One
// that can be shown in part is shown, and its damage reported: a name whose long form is
// lost goes by the short form its entry stores, a file without its data file keeps its
// history. A project whose children cannot be read is reported with what its header
// counts below it. A
// project is visited once per walk, and an item once per list: a second entry that leads
// to the same spec (two entries of one name, or one whose empty name leads back to its
// project) is reported as damage.
//
// Time and memory follow the number of items, whatever the depth: each item is found in
// the child list in hand (never again from the root), the walk keeps its own stack of
// lists instead of recursing (a thread's stack stays untouched by depth), and nothing it
// keeps holds a whole spec per level. The rows themselves carry whole specs, so their
// size is the sum of the specs' lengths: for a chain of projects it grows with the square
// of its depth.
//
// Options of varnotte-csv widen the walk: deleted items (reached through their entries,
// as a spec never leads to them), each project's own versions after its row, a format
// other than the default CSV rows, a filter of version rows, and a tally that counts the
// items and versions instead of making rows of them.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "export/row_format.h"
#include "export/version_filter.h"
#include "export/walk_tally.h"
#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"
#include "vssdb/file_fault.h"

namespace varnotte {

struct WalkOptions {
    // Deleted entries too, and everything in a deleted project.
    bool includeDeleted = false;
    // Each project's own versions after its row; those of the expanded project first.
    bool projectHistory = false;
    // The rows; null for the default CSV rows (csv_rows.h). Not owned.
    RowFormat* format = nullptr;
    // Which version rows to keep; null keeps all. Not owned.
    VersionFilter* filter = nullptr;
    // Counts the items and versions instead of making rows of them; null for rows. Not owned.
    WalkTally* tally = nullptr;
};

// The application's shared run state, as the walk reads it on every step.
struct WalkFlags {
    const int& firstExpand;      // 1 until the first expansion has been handled
    const int& exportRunning;    // cleared by Stop: the walk ends at its next step
    const int& exportConfirmed;  // 1 when the expansion is an export: no depth limit
    const int& historyFlag;      // 1: files contribute their version rows
};

// Something wrong with an item that is exported all the same.
struct ItemDamage {
    enum class Kind {
        kNameUncertain,    // shown under the short form its entry stores
        kDataFileMissing,  // its content is lost; its history is exported
        kEntryDisagrees,   // its own records name another item or parent than its entry does
    };
    Kind kind;
    vssdb::FileFault cause;  // the damaged (or missing) file and what is wrong with it
    std::string reason;      // the cause without the file, and what is exported despite it

    // "<file>: <reason>", as the reader's errors say it.
    std::string Message() const { return vssdb::FileFault{cause.file, reason}.Text(); }
};

// What a walk's user plugs in: nodes, the status line, event processing, failures.
class WalkHost {
  public:
    using Node = void*;  // the host's own node handle; null for "no node"

    virtual ~WalkHost() = default;

    // Once for every item the walk visits, before it is read.
    virtual void ProcessEvents() {}
    // A project's child list was read: the walk visits its items next, as far as it may, and
    // the items of each subproject before the items after it.
    virtual void ChildrenRead(const sourcesafe::IVSSItem& /*project*/,
                              const sourcesafe::IVSSItems& /*children*/) {}
    // A project was read: add its node as the last child of `parent`.
    virtual Node AddProjectNode(Node parent, const sourcesafe::IVSSItem& project) = 0;
    // A file was read: add its node as the last child of `parent`.
    virtual void AddFileNode(Node parent, const sourcesafe::IVSSItem& file) = 0;
    virtual void ShowStatus(const std::string& spec) = 0;
    // One CSV row, in order.
    virtual void AddRow(std::string row) = 0;
    // `spec` could not be read and was skipped (or, for a project, its children could not).
    virtual void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) = 0;
    // `spec` was exported, rows and node, but is damaged. An item whose own records
    // disagree with its entry is read and shown as its log says.
    virtual void ItemDamaged(const std::string& /*spec*/, const ItemDamage& /*damage*/) {}
};

class SubtreeWalk {
  public:
    SubtreeWalk(const sourcesafe::IVSSDatabase& database, const WalkFlags& flags, WalkHost& host,
                const WalkOptions& options = {});

    // Loads the children of the project whose node path is `nodePath` ("$/" for the root,
    // "$/A/B" below it) under `node`. Returns whether any child is a project.
    bool ExpandProject(WalkHost::Node node, const std::string& nodePath);

    // Visits the item at `spec` below `parent`, descending `depth` levels (a confirmed
    // export descends without limit).
    void AddNode(WalkHost::Node parent, const std::string& spec, int depth);

  private:
    // A child list being worked through.
    struct Level {
        Level(WalkHost::Node node, sourcesafe::IVSSItems children, int depth)
            : node(node), children(std::move(children)), depth(depth) {}

        WalkHost::Node node;  // the node its children go under
        sourcesafe::IVSSItems children;
        int depth;                              // what AddNode's depth is for these children
        int next = 1;                           // index of the next child
        std::unordered_set<std::string> names;  // names met so far in this list
    };

    // What an item gives the host once it has been read whole: its rows, or what the
    // tally counts, in the order they were read.
    struct Gathered {
        std::vector<std::string> rows;
        std::vector<std::variant<ItemRecord, TalliedVersion>> counted;
    };

    bool MayVisit(int depth) const;
    // Rows come only from a confirmed export.
    bool GathersRows() const;
    // Works through `levels` until it is empty, descending into projects as they come.
    // Returns whether any child of the first level is a project.
    bool Walk(std::vector<Level>& levels);
    // Adds the item's rows and node; a project that is to be walked adds its level.
    void Visit(WalkHost::Node parent, const sourcesafe::IVSSItem& item, int depth,
               std::vector<Level>& levels);
    void AddProject(WalkHost::Node parent, const sourcesafe::IVSSItem& project, int depth,
                    std::vector<Level>& levels);
    void ReportListedTwice(const std::string& spec);
    // A project whose row or children cannot be read: the failure, and how much it hides.
    void ReportProjectFailed(const sourcesafe::IVSSItem& project, const std::string& spec,
                             const sourcesafe::VssError& error);
    // What is wrong with an item that was exported all the same.
    void ReportDamage(const sourcesafe::IVSSItem& item, const std::string& missingDataFile);
    void AddFile(WalkHost::Node parent, const sourcesafe::IVSSItem& file);
    // The versions the filter keeps, newest first. Throws VssError.
    void GatherVersions(const sourcesafe::IVSSItem& item, Gathered& gathered);
    // A project's own versions; a failure is reported and leaves the project's other rows.
    void GatherProjectHistory(const sourcesafe::IVSSItem& project, Gathered& gathered);
    // The row of the item or version, or what the tally counts of it. Throws VssError.
    void GatherItem(const sourcesafe::IVSSItem& item, Gathered& gathered);
    void GatherVersion(const sourcesafe::IVSSItem& item, const sourcesafe::IVSSVersion& version,
                       Gathered& gathered);
    // Hands an item that was read whole to the host, or to the tally.
    void Hand(Gathered& gathered);

    const sourcesafe::IVSSDatabase& database_;
    const WalkFlags& flags_;
    WalkHost& host_;
    WalkOptions options_;
    std::unique_ptr<RowFormat> defaultFormat_;
    RowFormat& format_;
    // Physical names: a project is one item however it is reached, and a spec per project
    // would cost the square of the depth.
    std::unordered_set<std::string> visitedProjects_;
};

}  // namespace varnotte
