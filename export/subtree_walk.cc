#include "export/subtree_walk.h"

#include <utility>

#include "export/csv_rows.h"
#include "sourcesafe/vss_error.h"

namespace varnotte {

bool SubtreeWalk::ExpandProject(WalkHost::Node node, const std::string& nodePath) {
    // The tree asks for a project with one more "/" after its path ("$//" for the root).
    const std::string spec = nodePath + "/";
    sourcesafe::IVSSItems children;
    try {
        // The database may be in use: each walk reads it as it is now, and only the walk
        // itself reuses what it has read.
        database_.ForgetCachedItems();
        const sourcesafe::IVSSItem project = database_.VSSItem(spec);
        children = project.Items(false);
        visitedProjects_.insert(project.Physical());
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(nodePath, error);
        return false;
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
        // A spec reaches only the first of two entries of one name: the second is damage.
        if (!level.names.insert(listed.Name()).second) {
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
        sourcesafe::IVSSItem item;
        try {
            // What the entry's spec leads to, found in this list rather than from the root.
            item = level.children.Item(listed.Name());
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

bool SubtreeWalk::MayVisit(int depth) const {
    if (flags_.firstExpand != 0) {
        return depth != 0;
    }
    if (flags_.exportRunning == 0) {
        return false;
    }
    return flags_.exportConfirmed != 0 || depth != 0;
}

void SubtreeWalk::Visit(WalkHost::Node parent, const sourcesafe::IVSSItem& item, int depth,
                        std::vector<Level>& levels) {
    if (item.Type() == sourcesafe::VSSITEM_PROJECT) {
        AddProject(parent, item, depth, levels);
    } else {
        AddFile(parent, item);
    }
}

void SubtreeWalk::AddProject(WalkHost::Node parent, const sourcesafe::IVSSItem& project, int depth,
                             std::vector<Level>& levels) {
    // A damaged list may name two projects alike; a spec reaches only the first of them,
    // and walking it once per entry would repeat its subtree at every level below.
    if (!visitedProjects_.insert(project.Physical()).second) {
        ReportListedTwice(project.Spec());
        return;
    }
    std::string row;
    sourcesafe::IVSSItems children;
    try {
        row = ItemRow(project);
        children = project.Items(false);
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(project.Spec(), error);
        return;
    }
    const WalkHost::Node node = host_.AddProjectNode(parent, project);
    host_.AddRow(std::move(row));
    host_.ShowStatus(project.Spec());
    levels.emplace_back(node, std::move(children), depth - 1);
}

void SubtreeWalk::AddFile(WalkHost::Node parent, const sourcesafe::IVSSItem& file) {
    // Everything of a file is read before anything is shown, so that a file that fails
    // half-way leaves no partial rows behind.
    std::vector<std::string> rows;
    try {
        if (flags_.historyFlag == 1) {
            auto versions = file.Versions(0).NewEnum();
            sourcesafe::IVSSVersion version;
            while (versions.Next(version)) {
                if (version.Supports(sourcesafe::IID_IVSSVersion6)) {
                    rows.push_back(VersionRow(file, version));
                }
            }
        }
        rows.push_back(ItemRow(file));
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(file.Spec(), error);
        return;
    }
    host_.AddFileNode(parent, file);
    for (std::string& row : rows) {
        host_.AddRow(std::move(row));
    }
    host_.ShowStatus(file.Spec());
}

}  // namespace varnotte
