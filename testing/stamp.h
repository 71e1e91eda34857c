// Who did an action, when, and why.
#pragma once

#include <cstdint>
#include <string>

namespace vsstest {

struct Stamp {
    std::string user = "Admin";       // raw bytes in the database's code page, at most 31 kept
    std::uint32_t time = 1136116800;  // seconds as stored: the writer's wall clock
    std::string comment;              // raw bytes; "\r\n" line breaks, as SourceSafe stores them
};

// A checkout: who has the file, since when, where and why. Texts are raw bytes in the
// database's code page, cut to what their fields hold.
struct Checkout {
    Stamp stamp;                             // the comment keeps at most 63 bytes
    std::string workingFolder = "C:\\Work";  // on the user's machine
    std::string machine = "WORKSTATION";
    std::string projectSpec;  // empty: a project listing the file
};

}  // namespace vsstest
