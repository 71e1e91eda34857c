// Something wrong with one of the database's files, told apart from the file's name so
// that a caller can list the file in a column of its own without reading it back out of
// a message.
#pragma once

#include <string>

namespace vssdb {

struct FileFault {
    std::string file;  // the file it is about; empty when it is about none
    std::string what;  // what is wrong, without the file's name

    // "<file>: <what>", or what alone when no file is named: as Error's messages read.
    std::string Text() const { return file.empty() ? what : file + ": " + what; }
};

}  // namespace vssdb
