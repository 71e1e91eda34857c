#include "testing/mkdb_options.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace vsstest {
namespace {

struct IntOption {
    std::string_view name;
    int DatabaseShape::*field;
};

constexpr IntOption kIntOptions[] = {
    {"--projects", &DatabaseShape::projects},
    {"--depth", &DatabaseShape::depth},
    {"--files-per-project", &DatabaseShape::filesPerProject},
    {"--versions-per-file", &DatabaseShape::versionsPerFile},
    {"--comment-bytes", &DatabaseShape::commentBytes},
    {"--multiline-percent", &DatabaseShape::multiLinePercent},
    {"--label-percent", &DatabaseShape::labelPercent},
    {"--share-percent", &DatabaseShape::sharePercent},
    {"--deleted-files-percent", &DatabaseShape::deletedFilesPercent},
    {"--deleted-projects-percent", &DatabaseShape::deletedProjectsPercent},
    {"--non-ascii-percent", &DatabaseShape::nonAsciiPercent},
    {"--checked-out-percent", &DatabaseShape::checkedOutPercent},
    {"--code-page", &DatabaseShape::codePage},
    {"--text-bytes", &DatabaseShape::textBytes},
    {"--binary-bytes", &DatabaseShape::binaryBytes},
    {"--size-spread-percent", &DatabaseShape::sizeSpreadPercent},
};

std::optional<long long> ParseNumber(std::string_view text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string MkdbUsage() {
    return "usage: varnotte-mkdb [options] FOLDER\n"
           "Writes a made-up SourceSafe database into FOLDER (new or empty); FOLDER/srcsafe.ini\n"
           "opens it (user Admin, no password). Prints what it wrote as key=value lines.\n"
           "\n"
           "  --projects N                  projects below the root (10)\n"
           "  --depth N                     levels of projects, at most (2)\n"
           "  --files-per-project N         (10)\n"
           "  --versions-per-file N         creation, check-ins and labels (3)\n"
           "  --comment-bytes N             average comment size (60)\n"
           "  --multiline-percent N         of comments with line breaks (25)\n"
           "  --label-percent N             of files and projects labelled (5)\n"
           "  --share-percent N             of files shared into the parent project (1)\n"
           "  --deleted-files-percent N     (1)\n"
           "  --deleted-projects-percent N  of projects without subprojects (0)\n"
           "  --non-ascii-percent N         of names, users and comments (5)\n"
           "  --checked-out-percent N       of live files left checked out (0)\n"
           "  --code-page N                 932, 936, 949, 950, 1250 to 1257 (1252)\n"
           "  --text-bytes N                average content of a text file's check-in, kept\n"
           "                                as a delta in its log (0: a line of text)\n"
           "  --binary-bytes N              the same for binary files, a tenth of them (0)\n"
           "  --size-spread-percent N       sizes drawn up to this far from the average (50);\n"
           "                                sizes leave the history and its export as they are\n"
           "  --seed N                      the same seed writes the same bytes (1)\n"
           "  --sample                      the sample database of the README instead\n"
           "\n"
           "  --nested N                    instead: N projects each inside the one before,\n"
           "                                each with a file of two versions (the options\n"
           "                                above do not apply)\n"
           "  --name-length N               of the nested projects' names (1)\n"
           "  --flat                        with --nested: the same projects and files, all\n"
           "                                below the root\n";
}

MkdbCommand ParseMkdbCommand(const std::vector<std::string>& arguments) {
    MkdbCommand command;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            command.help = true;
            return command;
        }
        if (argument == "--sample") {
            command.sample = true;
            continue;
        }
        if (argument.rfind("--", 0) != 0) {
            if (!command.folder.empty()) {
                command.error = "only one folder, please: " + argument;
                return command;
            }
            command.folder = argument;
            continue;
        }
        if (argument == "--flat") {
            command.nestedShape.flat = true;
            continue;
        }
        if (i + 1 == arguments.size()) {
            command.error = argument + " needs a value";
            return command;
        }
        const std::string& text = arguments[++i];
        const std::optional<long long> value = ParseNumber(text);
        if (argument == "--nested" || argument == "--name-length") {
            if (!value || *value < std::numeric_limits<int>::min() ||
                *value > std::numeric_limits<int>::max()) {
                command.error = argument + " needs a whole number, not \"" + text + "\"";
                return command;
            }
            const int number = static_cast<int>(*value);
            if (argument == "--nested") {
                command.nested = true;
                command.nestedShape.levels = number;
            } else {
                command.nestedShape.nameLength = number;
            }
            continue;
        }
        if (argument == "--seed") {
            if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max()) {
                command.error = "--seed needs a number from 0 to 4294967295, not \"" + text + "\"";
                return command;
            }
            command.shape.seed = static_cast<std::uint32_t>(*value);
            continue;
        }
        const IntOption* option = nullptr;
        for (const IntOption& candidate : kIntOptions) {
            if (candidate.name == argument) {
                option = &candidate;
            }
        }
        if (option == nullptr) {
            command.error = "unknown option " + argument;
            return command;
        }
        if (!value || *value < std::numeric_limits<int>::min() ||
            *value > std::numeric_limits<int>::max()) {
            command.error = argument + " needs a whole number, not \"" + text + "\"";
            return command;
        }
        command.shape.*(option->field) = static_cast<int>(*value);
    }
    if (command.folder.empty()) {
        command.error = "no folder given";
        return command;
    }
    if (!command.nested && (command.nestedShape.flat || command.nestedShape.nameLength != 1)) {
        command.error = "--flat and --name-length go with --nested";
        return command;
    }
    try {
        if (command.nested) {
            CheckNestedShape(command.nestedShape);
        } else {
            CheckShape(command.shape);
        }
    } catch (const std::invalid_argument& error) {
        command.error = error.what();
    }
    return command;
}

}  // namespace vsstest
