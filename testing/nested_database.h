// A database whose projects sit one inside the other, as deep as asked: the worst case of
// depth for the walk, the reader and the rows. The root holds project 1, project n holds
// project n+1 and a file of two versions, f.txt. Its flat twin, the baseline that tells
// what depth costs, has the same projects and files all below the root.
#pragma once

#include <filesystem>

#include "testing/database_generator.h"

namespace vsstest {

struct NestedShape {
    int levels = 1000;
    int nameLength = 1;  // of every project's name: "p", "pp", ...
    bool flat = false;   // the twin: projects "p1", "p2", ... side by side
};

// Throws std::invalid_argument for levels or a name length out of range (1 to 1,000,000
// levels, names of 1 to 200 bytes; the flat twin takes no name length).
void CheckNestedShape(const NestedShape& shape);

// Writes the database into `root`. Throws as CheckNestedShape does, and std::runtime_error
// when a file cannot be written.
GeneratedCounts WriteNestedDatabase(const std::filesystem::path& root, const NestedShape& shape);

}  // namespace vsstest
