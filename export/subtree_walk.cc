#include "export/subtree_walk.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "export/csv_rows.h"
#include "sourcesafe/vss_error.h"

namespace varnotte {

SubtreeWalk::SubtreeWalk(const sourcesafe::IVSSDatabase& database, const WalkFlags& flags,
                         WalkHost& host, const WalkOptions& options)
    : database_(database),
      flags_(flags),
      host_(host),
      options_(options),
      defaultFormat_(options.format != nullptr ? nullptr : std::make_unique<DefaultCsvFormat>()),
      format_(options.format != nullptr ? *options.format : *defaultFormat_) {}

bool SubtreeWalk::ExpandProject(WalkHost::Node node, const std::string& nodePath) {
    // The tree asks for a project with one more "/" after its path ("$//" for the root).
    const std::string spec = nodePath + "/";
    sourcesafe::IVSSItem project;
    sourcesafe::IVSSItems children;
    try {
        // The database may be in use: each walk reads it as it is now, and only the walk
        // itself reuses what it has read.
        database_.ForgetCachedItems();
        project = database_.VSSItem(spec);
        children = project.Items(options_.includeDeleted);
        visitedProjects_.insert(project.Physical());
    } catch (const sourcesafe::VssError& error) {
        if (project.IsEmpty()) {
            host_.ItemFailed(nodePath, error);
        } else {
            ReportProjectFailed(project, nodePath, error);
        }
        return false;
    }
    host_.ChildrenRead(project, children);
    if (options_.projectHistory && GathersRows()) {
        Gathered history;
        GatherProjectHistory(project, history);
        Hand(history);
    }
    std::vector<Level> levels;
    levels.emplace_back(node, std::move(children), 1);
    return Walk(levels);
}

void SubtreeWalk::AddNode(WalkHost::Node parent, const std::string& spec, int depth) {
    if (!MayVisit(depth)) {
        return;
    }
    host_.ProcessEvents();
    sourcesafe::IVSSItem item;
    try {
        item = database_.VSSItem(spec);
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(spec, error);
        return;
    }
    std::vector<Level> levels;
    Visit(parent, item, depth, levels);
    Walk(levels);
}

bool SubtreeWalk::Walk(std::vector<Level>& levels) {
    bool anyProject = false;
    while (!levels.empty()) {
        Level& level = levels.back();
        // The count is read again before every step, as the collection may be replaced.
        if (level.next > level.children.Count()) {
            levels.pop_back();
            continue;
        }
        const sourcesafe::IVSSItem listed = level.children.Item(level.next++);
        // No spec leads to a deleted item (a live one may have its name): the entry does.
        const bool deleted = listed.Deleted();
        // A spec reaches only the first of two live entries of one name: the second is damage.
        if (!deleted && !level.names.insert(listed.Name()).second) {
            ReportListedTwice(listed.Spec());
            continue;
        }
        if (levels.size() == 1) {
            anyProject = anyProject || listed.Type() == sourcesafe::VSSITEM_PROJECT;
        }
        // Listed but not visited: a plain expansion's grandchildren, anything after Stop.
        if (!MayVisit(level.depth)) {
            continue;
        }
        host_.ProcessEvents();
        sourcesafe::IVSSItem item = listed;
        try {
            // What the entry's spec leads to, found in this list rather than from the root.
            if (!deleted) {
                item = level.children.Item(listed.Name());
            }
        } catch (const sourcesafe::VssError& error) {
            host_.ItemFailed(listed.Spec(), error);
            continue;
        }
        // May add a level, after which `level` refers to nothing.
        Visit(level.node, item, level.depth, levels);
    }
    return anyProject;
}

void SubtreeWalk::ReportListedTwice(const std::string& spec) {
    host_.ItemFailed(spec, sourcesafe::VssError(sourcesafe::ESS_FILE_CORRUPT,
                                                spec + " is listed more than once"));
}

void SubtreeWalk::ReportProjectFailed(const sourcesafe::IVSSItem& project, const std::string& spec,
                                      const sourcesafe::VssError& error) {
    std::string more;
    if (const auto recorded = project.RecordedChildrenOnFile()) {
        more = "; nothing below it is exported: its header counts " +
               std::to_string(recorded->entries) +
               (recorded->entries == 1 ? " entry" : " entries") + " (" +
               std::to_string(recorded->projects) +
               (recorded->projects == 1 ? " of them a project" : " of them projects") +
               "; deleted ones included), and what lies below those is unknown";
    } else {
        more = "; nothing below it is exported, and how much lies below it is unknown";
    }
    host_.ItemFailed(spec, sourcesafe::VssError(error.code(), error.what() + more, error.file(),
                                                error.reason() + more));
}

void SubtreeWalk::ReportDamage(const sourcesafe::IVSSItem& item,
                               const std::string& missingDataFile) {
    if (const vssdb::NameDoubt* doubt = item.UncertainName()) {
        host_.ItemDamaged(
            item.Spec(),
            ItemDamage{ItemDamage::Kind::kNameUncertain, doubt->cause,
                       doubt->cause.what + "; the name is shown as stored in its short form, and " +
                           doubt->Describe()});
    }
    if (!missingDataFile.empty()) {
        host_.ItemDamaged(item.Spec(),
                          ItemDamage{ItemDamage::Kind::kDataFileMissing,
                                     {missingDataFile, "data file missing"},
                                     "data file missing: the current content is lost; the "
                                     "history is exported"});
    }
}

bool SubtreeWalk::MayVisit(int depth) const {
    if (flags_.firstExpand != 0) {
        return depth != 0;
    }
    if (flags_.exportRunning == 0) {
        return false;
    }
    return flags_.exportConfirmed != 0 || depth != 0;
}

bool SubtreeWalk::GathersRows() const {
    // Rows of an expansion that is no export would be thrown away unread: reading a
    // file's history for them is most of the time an expansion would take.
    return flags_.exportConfirmed != 0;
}

void SubtreeWalk::Visit(WalkHost::Node parent, const sourcesafe::IVSSItem& item, int depth,
                        std::vector<Level>& levels) {
    try {
        if (const std::optional<vssdb::FileFault> why = item.EntryDisagreement()) {
            host_.ItemDamaged(item.Spec(), ItemDamage{ItemDamage::Kind::kEntryDisagrees, *why,
                                                      why->what + "; shown as its own log says"});
        }
    } catch (const sourcesafe::VssError&) {
        // A log that cannot be read fails the item's own reading below, which reports it.
    }
    if (item.Type() == sourcesafe::VSSITEM_PROJECT) {
        AddProject(parent, item, depth, levels);
    } else {
        AddFile(parent, item);
    }
}

void SubtreeWalk::AddProject(WalkHost::Node parent, const sourcesafe::IVSSItem& project, int depth,
                             std::vector<Level>& levels) {
    // A damaged list may name two projects alike; a spec reaches only the first of them,
    // and walking it once per entry would repeat its subtree at every level below. A
    // deleted entry is told apart from a live one of the same project.
    const std::string key = project.Deleted() ? "\n" + project.Physical() : project.Physical();
    if (!visitedProjects_.insert(key).second) {
        ReportListedTwice(project.Spec());
        return;
    }
    Gathered gathered;
    sourcesafe::IVSSItems children;
    try {
        if (GathersRows()) {
            GatherItem(project, gathered);
        }
        children = project.Items(options_.includeDeleted);
    } catch (const sourcesafe::VssError& error) {
        ReportProjectFailed(project, project.Spec(), error);
        return;
    }
    host_.ChildrenRead(project, children);
    if (options_.projectHistory && GathersRows()) {
        GatherProjectHistory(project, gathered);
    }
    const WalkHost::Node node = host_.AddProjectNode(parent, project);
    Hand(gathered);
    ReportDamage(project, {});
    host_.ShowStatus(project.Spec());
    levels.emplace_back(node, std::move(children), depth - 1);
}

void SubtreeWalk::AddFile(WalkHost::Node parent, const sourcesafe::IVSSItem& file) {
    // Everything of a file is read before anything is shown, so that a file that fails
    // half-way leaves no partial rows behind.
    Gathered gathered;
    std::string missingDataFile;
    try {
        if (GathersRows()) {
            if (flags_.historyFlag == 1) {
                GatherVersions(file, gathered);
            }
            GatherItem(file, gathered);
            missingDataFile = file.MissingDataFile();
        }
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(file.Spec(), error);
        return;
    }
    host_.AddFileNode(parent, file);
    Hand(gathered);
    ReportDamage(file, missingDataFile);
    host_.ShowStatus(file.Spec());
}

void SubtreeWalk::GatherVersions(const sourcesafe::IVSSItem& item, Gathered& gathered) {
    auto enumerator = item.Versions(0).NewEnum();
    sourcesafe::IVSSVersion version;
    if (options_.filter == nullptr || !options_.filter->Active()) {
        while (enumerator.Next(version)) {
            if (version.Supports(sourcesafe::IID_IVSSVersion6)) {
                GatherVersion(item, version, gathered);
            }
        }
        return;
    }
    // A filter may need a version's neighbours (the version a label marks): all first.
    std::vector<sourcesafe::IVSSVersion> versions;
    while (enumerator.Next(version)) {
        if (version.Supports(sourcesafe::IID_IVSSVersion6)) {
            versions.push_back(version);
        }
    }
    const std::vector<bool> keep = options_.filter->Select(item, versions);
    for (std::size_t i = 0; i < versions.size(); ++i) {
        if (keep[i]) {
            GatherVersion(item, versions[i], gathered);
        }
    }
}

void SubtreeWalk::GatherProjectHistory(const sourcesafe::IVSSItem& project, Gathered& gathered) {
    Gathered history;
    try {
        GatherVersions(project, history);
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(project.Spec(), error);
        return;
    }
    std::move(history.rows.begin(), history.rows.end(), std::back_inserter(gathered.rows));
    std::move(history.counted.begin(), history.counted.end(), std::back_inserter(gathered.counted));
}

void SubtreeWalk::GatherItem(const sourcesafe::IVSSItem& item, Gathered& gathered) {
    if (options_.tally == nullptr) {
        if (std::string row = format_.ItemRow(item); !row.empty()) {
            gathered.rows.push_back(std::move(row));
        }
    } else if (options_.tally->Detailed()) {
        gathered.counted.emplace_back(ReadItemRecord(item));
    }
}

void SubtreeWalk::GatherVersion(const sourcesafe::IVSSItem& item,
                                const sourcesafe::IVSSVersion& version, Gathered& gathered) {
    if (options_.tally == nullptr) {
        if (std::string row = format_.VersionRow(item, version); !row.empty()) {
            gathered.rows.push_back(std::move(row));
        }
    } else {
        gathered.counted.emplace_back(
            ReadTalliedVersion(item, version, options_.tally->Detailed()));
    }
}

void SubtreeWalk::Hand(Gathered& gathered) {
    for (std::string& row : gathered.rows) {
        host_.AddRow(std::move(row));
    }
    for (const auto& counted : gathered.counted) {
        if (const auto* item = std::get_if<ItemRecord>(&counted)) {
            options_.tally->CountItem(*item);
        } else {
            options_.tally->CountVersion(std::get<TalliedVersion>(counted));
        }
    }
}

}  // namespace varnotte
