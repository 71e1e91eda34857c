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

}  // namespace vsstest
