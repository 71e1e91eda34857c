// Generates a SourceSafe database of a given shape with made-up projects, files, versions,
// comments, labels, shares, checkouts and deleted items: the large databases of the benchmarks and
// the varied ones of their tests.
//
// The same shape and seed give the same bytes. Each project's subtree is written as soon
// as it is complete, so memory stays small whatever the size of the database.
#pragma once

#include <cstdint>
#include <filesystem>

namespace vsstest {

struct DatabaseShape {
    int projects = 10;  // below the root
    int depth = 2;      // levels of projects below the root, at most
    int filesPerProject = 10;
    int versionsPerFile = 3;         // every version counts: creation, check-ins, labels
    int commentBytes = 60;           // average comment length; 0 writes empty comments
    int multiLinePercent = 25;       // of comments
    int labelPercent = 5;            // of files and projects that get a label version
    int sharePercent = 1;            // of files also shared into their project's parent
    int deletedFilesPercent = 1;     // of files deleted from their project
    int deletedProjectsPercent = 0;  // of projects without subprojects deleted
    int nonAsciiPercent = 5;         // of names, user names and comments
    int checkedOutPercent = 0;       // of live files left checked out
    int codePage = 1252;             // of the non-ASCII texts (see WordCodePages())
    // The content of each check-in, which becomes a delta in the file's log at the next
    // one: on average this many bytes for text files and for binary ones (a tenth of the
    // files), each size drawn up to `sizeSpreadPercent` above or below. 0: a line of text.
    // Sizes are drawn apart from everything else: databases that differ only in sizes
    // have the same history, and the same export.
    int textBytes = 0;
    int binaryBytes = 0;
    int sizeSpreadPercent = 50;
    std::uint32_t seed = 1;
};

// What was written, and what an export of "$/" with history shows of it.
struct GeneratedCounts {
    long long projects = 0;          // below the root, deleted ones included
    long long files = 0;             // physical files, deleted ones included
    long long fileVersions = 0;      // versions of those files
    long long exportedProjects = 0;  // live projects reachable from the root
    long long exportedFiles = 0;     // live file entries under them; a share counts in each project
    long long exportedVersions = 0;  // version rows of those entries
};

// Throws std::invalid_argument for a shape that makes no sense (negative counts, a
// percentage above 100, more than 65535 versions of one item, an unknown code page).
void CheckShape(const DatabaseShape& shape);

// Writes the database into `root` (created; its srcsafe.ini is root/srcsafe.ini). Throws
// std::invalid_argument for a bad shape and std::runtime_error when a file cannot be
// written.
GeneratedCounts GenerateDatabase(const std::filesystem::path& root, const DatabaseShape& shape);

}  // namespace vsstest
