// The command line of varnotte-mkdb.
#pragma once

#include <string>
#include <vector>

#include "testing/database_generator.h"
#include "testing/nested_database.h"

namespace vsstest {

struct MkdbCommand {
    DatabaseShape shape;
    bool nested = false;  // --nested: write `nestedShape` instead of `shape`
    NestedShape nestedShape;
    std::string folder;
    bool sample = false;  // the sample database instead of a made-up one
    bool help = false;
    std::string error;  // set when the command line cannot be used
};

// Parses the arguments after the program name.
MkdbCommand ParseMkdbCommand(const std::vector<std::string>& arguments);

std::string MkdbUsage();

}  // namespace vsstest
