// varnotte-mkdb: writes a made-up SourceSafe database of a given shape, for benchmarks.
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/mkdb_options.h"
#include "testing/nested_database.h"
#include "testing/sample_database.h"

int main(int argc, char* argv[]) {
    const vsstest::MkdbCommand command =
        vsstest::ParseMkdbCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (command.help) {
        std::fputs(vsstest::MkdbUsage().c_str(), stdout);
        return 0;
    }
    if (!command.error.empty()) {
        std::fprintf(stderr, "varnotte-mkdb: %s\n\n%s", command.error.c_str(),
                     vsstest::MkdbUsage().c_str());
        return 1;
    }
    const std::filesystem::path folder(command.folder);
    std::error_code error;
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_empty(folder, error)) {
        std::fprintf(stderr, "varnotte-mkdb: %s is not empty; give a new or empty folder\n",
                     command.folder.c_str());
        return 1;
    }
    try {
        if (command.sample) {
            vsstest::WriteSampleDatabase(folder);
            std::printf("ini=%s\n", (folder / "srcsafe.ini").c_str());
            return 0;
        }
        const auto start = std::chrono::steady_clock::now();
        const vsstest::GeneratedCounts counts =
            command.nested ? vsstest::WriteNestedDatabase(folder, command.nestedShape)
                           : vsstest::GenerateDatabase(folder, command.shape);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf(
            "ini=%s\nprojects=%lld\nfiles=%lld\nfile_versions=%lld\nexported_projects=%"
            "lld\nexported_files=%lld\n"
            "exported_versions=%lld\nseconds=%.2f\n",
            (folder / "srcsafe.ini").c_str(), counts.projects, counts.files, counts.fileVersions,
            counts.exportedProjects, counts.exportedFiles, counts.exportedVersions, took.count());
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "varnotte-mkdb: %s\n", failure.what());
        return 1;
    }
    return 0;
}
