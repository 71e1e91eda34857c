#include "testing/nested_database.h"

#include <stdexcept>
#include <string>

#include "testing/database_writer.h"
#include "vssdb/revision_format.h"

namespace vsstest {

void CheckNestedShape(const NestedShape& shape) {
    if (shape.levels < 1 || shape.levels > 1'000'000) {
        throw std::invalid_argument("the levels must be from 1 to 1000000");
    }
    if (shape.nameLength < 1 || shape.nameLength > 200) {
        throw std::invalid_argument("the name length must be from 1 to 200");
    }
    if (shape.flat && shape.nameLength != 1) {
        throw std::invalid_argument("the flat twin's names are numbered; give no name length");
    }
}

GeneratedCounts WriteNestedDatabase(const std::filesystem::path& root, const NestedShape& shape) {
    CheckNestedShape(shape);
    DatabaseWriter writer(root);
    const std::string name(static_cast<std::size_t>(shape.nameLength), 'p');
    ItemId project = writer.Root();
    // The check-in's project spec, kept here: the writer would spell it out from the root
    // at every level. The log keeps only the start of a long one.
    std::string spec = "$/" + name;
    for (int level = 1; level <= shape.levels; ++level) {
        if (shape.flat) {
            spec = "$/p" + std::to_string(level);
            project = writer.AddProject(writer.Root(), spec.substr(2));
        } else {
            project = writer.AddProject(project, name);
        }
        const ItemId file = writer.AddFile(project, "f.txt");
        writer.CheckIn(file, Stamp{}, spec);
        if (!shape.flat && spec.size() < vssdb::revision_format::kSpecSize) {
            spec += "/" + name;
        }
    }
    writer.Write();
    GeneratedCounts counts;
    counts.projects = counts.exportedProjects = shape.levels;
    counts.files = counts.exportedFiles = shape.levels;
    counts.fileVersions = counts.exportedVersions = 2LL * shape.levels;
    return counts;
}

}  // namespace vsstest
