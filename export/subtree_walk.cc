#include "export/subtree_walk.h"

#include <vector>

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
        visitedProjects_.insert(project.Spec());
    } catch (const sourcesafe::VssError& error) {
        host_.ItemFailed(nodePath, error);
        return false;
    }
    return AddChildren(node, children, 1);
}

bool SubtreeWalk::AddChildren(WalkHost::Node node, const sourcesafe::IVSSItems& children,
                              int depth) {
    // A spec reaches only the first of two entries of one name: the second is damage.
    std::unordered_set<std::string> specs;
    bool anyProject = false;
    // The count is read again before every step, as the collection may be replaced.
    for (int i = 1; i <= children.Count(); ++i) {
        const sourcesafe::IVSSItem child = children.Item(i);
        const std::string spec = child.Spec();
        if (!specs.insert(spec).second) {
            ReportListedTwice(spec);
            continue;
        }
        AddNode(node, spec, depth);
        anyProject = anyProject || child.Type() == sourcesafe::VSSITEM_PROJECT;
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
    if (item.Type() == sourcesafe::VSSITEM_PROJECT) {
        AddProject(parent, item, depth);
    } else {
        AddFile(parent, item);
    }
}

void SubtreeWalk::AddProject(WalkHost::Node parent, const sourcesafe::IVSSItem& project,
                             int depth) {
    // A damaged list may name two projects alike; a spec reaches only the first of them,
    // and walking it once per entry would repeat its subtree at every level below.
    if (!visitedProjects_.insert(project.Spec()).second) {
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
    AddChildren(node, children, depth - 1);
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
