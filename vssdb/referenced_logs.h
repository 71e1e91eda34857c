// The item logs a database references, found from its root project. Whatever else lies in
// the data folder (copies, working files, a huge file named like an item) is never read.
#pragma once

#include <functional>

#include "vssdb/data_folder.h"
#include "vssdb/record_reader.h"

namespace vssdb {

// Calls `visit` once for the log of every item the database references, each read only as
// far as its item header says its data goes (the source ends there), and only the parts
// asked for (see OpenLog, read forward): the root project, every
// entry of the child list of every project reached (deleted ones too: their logs stay, and
// what they hold is the database's), and the files that branched files came from. A log or
// a child list that cannot be read is passed over with what lies below it: reading the
// items reports them. The source is valid during the call only.
void ForEachReferencedLog(const DataFolder& folder,
                          const std::function<void(RecordSource& log)>& visit);

}  // namespace vssdb
