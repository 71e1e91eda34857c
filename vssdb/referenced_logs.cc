#include "vssdb/referenced_logs.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <unordered_set>
#include <vector>

#include "vssdb/declared_size.h"
#include "vssdb/error.h"
#include "vssdb/file_header_check.h"
#include "vssdb/item_log.h"
#include "vssdb/physical_file.h"
#include "vssdb/project_entries.h"

namespace vssdb {

void ForEachReferencedLog(const DataFolder& folder,
                          const std::function<void(RecordSource& log)>& visit,
                          const LookBack& lookBack) {
    // A list of items still to read, not a recursion: projects may nest to any depth.
    std::vector<std::string> pending;
    std::unordered_set<std::string> seen;  // upper case: records spell names so
    const auto refer = [&](std::string physical) {
        std::transform(physical.begin(), physical.end(), physical.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (IsPhysicalName(physical) && seen.insert(physical).second) {
            pending.push_back(std::move(physical));
        }
    };
    refer(std::string(kRootPhysical));
    LogReadBefore known;
    while (!pending.empty()) {
        const std::string physical = std::move(pending.back());
        pending.pop_back();
        known = LogReadBefore();
        if (lookBack.find && lookBack.find(physical, known) && known.skipVisit) {
            if (lookBack.visitReadBefore) {
                lookBack.visitReadBefore(physical);
            }
            if (known.referencesKnown) {
                for (std::string& reference : known.references) {
                    refer(std::move(reference));
                }
                continue;
            }
        }
        const std::string path = folder.FindLog(physical);
        if (path.empty()) {
            continue;
        }
        OpenedLog log;
        try {
            log = OpenLog(path, ReadDirection::kForward);
        } catch (const Error&) {
            continue;  // an older format among them too: the root's reading refuses it
        }
        if (!known.skipVisit) {
            visit(*log.records);
        }
        const ItemHeader& header = log.header;
        if (header.type == ItemType::kFile) {
            if (!header.branchSource.empty()) {
                refer(header.branchSource);
            }
            continue;
        }
        const std::string list = folder.FindData(physical, header.dataExtension);
        if (list.empty()) {
            continue;
        }
        try {
            for (const ProjectEntry& entry : ReadChildList(list, header.childCount)) {
                refer(entry.physical);
            }
        } catch (const Error&) {
            // The project's own reading reports it.
        }
    }
}

}  // namespace vssdb
