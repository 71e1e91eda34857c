// The item logs a database references, found from its root project. Whatever else lies in
// the data folder (copies, working files, a huge file named like an item) is never read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vssdb/data_folder.h"
#include "vssdb/record_reader.h"

namespace vssdb {

// What a walk learnt of a log when it read it, so that going through the logs again need
// not open it.
struct LogReadBefore {
    bool skipVisit = false;               // its records need not be visited again
    bool referencesKnown = false;         // `references` is all it refers to: it need not be opened
    std::vector<std::string> references;  // child list entries in stored order, or branch source
};

// What a traversal is told of logs read before.
struct LookBack {
    // Fills `known` and returns true when the log of `physical` (upper case) was read before.
    std::function<bool(const std::string& physical, LogReadBefore& known)> find;
    // Called in place of the visit of a log read before that is not visited again.
    std::function<void(const std::string& physical)> visitReadBefore;
};

// Calls `visit` once for the log of every item the database references, each read only as
// far as its item header says its data goes (the source ends there), and only the parts
// asked for (see OpenLog, read forward): the root project, every
// entry of the child list of every project reached (deleted ones too: their logs stay, and
// what they hold is the database's), and the files that branched files came from. A log or
// a child list that cannot be read is passed over with what lies below it: reading the
// items reports them. The source is valid during the call only.
//
// With `lookBack`, logs read before are taken as it says: not visited again (its
// visitReadBefore is called in their place), and not opened at all when what they refer to
// is known. The order of the visits stays the same.
void ForEachReferencedLog(const DataFolder& folder,
                          const std::function<void(RecordSource& log)>& visit,
                          const LookBack& lookBack = {});

}  // namespace vssdb
