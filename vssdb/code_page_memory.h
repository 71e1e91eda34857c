// The code pages found for databases earlier in this process.
//
// Finding a database's code page reads every log file. The desktop program opens the same
// database again on every login and every "..." of it, so the answer is remembered for as
// long as the database's own bookkeeping files (names.dat, um.dat and the counter of
// physical names) are unchanged: new names and users, the texts the decision rests on
// most, change one of them.
#pragma once

#include <optional>

#include "vssdb/data_folder.h"

namespace vssdb {

struct SettledCodePage {
    int codePage = 0;
    bool asciiOnly = false;  // no text was non-ASCII: the code page is the locale's
};

// Answers are kept per locale code page, which the decision weighs.
std::optional<SettledCodePage> RememberedCodePage(const DataFolder& folder, int localeCodePage);
void RememberCodePage(const DataFolder& folder, int localeCodePage, SettledCodePage settled);

// Forgets every answer, so that the next open reads the logs again (benchmarks).
void ForgetCodePages();

}  // namespace vssdb
