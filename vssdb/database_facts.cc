// Database: the facts of a file beyond its versions, and the places that list it.
#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "vssdb/database.h"
#include "vssdb/error.h"
#include "vssdb/text_case.h"

namespace vssdb {
FileFacts Database::FileFactsOf(const std::string& physical) {
    const std::shared_ptr<const ItemLog> read = RecentLog(physical);
    const ItemLog& log = *read;
    const ItemHeader& header = log.header();
    if (header.type != ItemType::kFile) {
        ThrowCorrupt(log.path(), "expected a file, found a project");
    }
    FileFacts facts;
    facts.flags = header.fileFlags;
    facts.branchSource = header.branchSource;
    facts.firstVersion = header.firstVersion;
    facts.checkouts = ReadCheckouts(log);
    facts.parentProjects = ReadParentProjects(log);
    const std::string data = folder_.FindData(physical, header.dataExtension);
    if (!data.empty()) {
        facts.dataSize = StampOf(data).size;
    }
    return facts;
}

std::optional<FileFault> Database::EntryDisagreement(const LocatedItem& item) {
    if (item.parentPhysical.empty()) {
        return std::nullopt;
    }
    // The log the item's history and facts are read from next.
    const std::shared_ptr<const ItemLog> read = RecentLog(item.physical);
    const ItemLog& log = *read;
    const ItemHeader& header = log.header();
    const std::string listed = "the entry in the list of " + item.parentPhysical;
    if (header.type != item.type) {
        return FileFault{
            log.path(), listed + " is a " + (item.type == ItemType::kProject ? "project" : "file") +
                            "'s, but this log is a " +
                            (header.type == ItemType::kProject ? "project" : "file") + "'s"};
    }
    if (!EqualsIgnoringCase(header.name.shortName, item.entryName)) {
        return FileFault{log.path(), "its header names it \"" + Decode(header.name.shortName) +
                                         "\", " + listed + " \"" + Decode(item.entryName) + "\""};
    }
    if (header.type == ItemType::kProject) {
        if (!EqualsIgnoringCase(header.parentPhysical, item.parentPhysical)) {
            return FileFault{log.path(), "its header names " +
                                             (header.parentPhysical.empty()
                                                  ? std::string("no parent project")
                                                  : "the parent project " + header.parentPhysical) +
                                             ", but " + item.parentPhysical + " lists it"};
        }
        return std::nullopt;
    }
    for (const std::string& parent : ReadParentProjects(log)) {
        if (EqualsIgnoringCase(parent, item.parentPhysical)) {
            return std::nullopt;
        }
    }
    return FileFault{log.path(),
                     "its parent records do not name " + item.parentPhysical + ", which lists it"};
}

std::string Database::MissingDataFileOf(const std::string& physical) {
    const std::shared_ptr<const ItemLog> log = RecentLog(physical);
    const char extension = log->header().dataExtension;
    if (!folder_.FindData(physical, extension).empty()) {
        return {};
    }
    return log->path() + "." +
           static_cast<char>(std::tolower(static_cast<unsigned char>(extension)));
}

std::optional<Database::RecordedChildren> Database::RecordedChildrenOf(
    const std::string& physical) {
    try {
        const ItemHeader& header = RecentLog(physical)->header();
        if (header.type != ItemType::kProject) {
            return std::nullopt;
        }
        return RecordedChildren{header.childCount, header.subprojectCount};
    } catch (const Error&) {
        return std::nullopt;
    }
}

ItemPath Database::ProjectPathOf(const std::string& physical) {
    // The names from this project up to the first one whose place is known (the root's is).
    std::vector<std::string> names;
    std::unordered_set<std::string> visited;
    std::string current = UpperCase(physical);
    ItemPath path;
    for (;;) {
        if (const auto known = projectPlaces_.find(current); known != projectPlaces_.end()) {
            path = known->second;
            break;
        }
        if (!visited.insert(current).second) {
            ThrowCorrupt(folder_.ExpectedLogPath(physical), "its parent projects loop");
        }
        const ItemLog log = ReadLog(current);
        const ItemHeader& header = log.header();
        if (header.type != ItemType::kProject) {
            ThrowCorrupt(log.path(), "expected a project, found a file");
        }
        if (header.parentPhysical.empty()) {
            ThrowCorrupt(log.path(), "the project names no parent project");
        }
        names.push_back(DisplayName(header.name, true));
        current = UpperCase(header.parentPhysical);
    }
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        path = path.Child(*name);
    }
    return path;
}

std::vector<LocatedItem> Database::PlacesOf(const std::string& physical,
                                            const std::vector<std::string>& parentProjects) {
    std::vector<LocatedItem> places;
    std::vector<std::string> seen;
    for (const std::string& project : parentProjects) {
        if (std::find(seen.begin(), seen.end(), project) != seen.end()) {
            continue;
        }
        seen.push_back(project);
        const ItemPath projectPath = ProjectPathOf(project);
        const auto children = Children(project);
        for (const Child& child : children->entries) {
            if (child.deleted || child.type != ItemType::kFile ||
                !EqualsIgnoringCase(child.physical, physical)) {
                continue;
            }
            LocatedItem place;
            place.path = projectPath.Child(child.name);
            place.type = ItemType::kFile;
            place.physical = child.physical;
            place.pinnedVersion = child.pinnedVersion;
            place.fileType = child.fileType;
            place.nameError = child.nameError;
            place.nameDoubt = child.nameDoubt;
            places.push_back(std::move(place));
        }
    }
    return places;
}

}  // namespace vssdb
