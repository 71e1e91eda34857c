#include "testing/database_generator.h"

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "testing/code_page_words.h"
#include "testing/database_writer.h"

namespace vsstest {
namespace {

constexpr int kMaxVersions = 65535;
constexpr int kMaxGeneratedCommentBytes = 30000;
// A log holds at most 4 GiB: ten versions of the largest size fit.
constexpr int kMaxContentBytes = 200 << 20;
constexpr std::uint32_t kFirstTime = 788918400;  // 1995-01-01: decades of history
constexpr std::uint32_t kLastTime = 3900000000;  // stays clear of the 32-bit end

constexpr std::array<std::string_view, 48> kWords = {
    "fix",     "crash",    "when",     "saving",  "report",   "update", "build",   "script",
    "merge",   "from",     "branch",   "release", "refactor", "parser", "cleanup", "remove",
    "unused",  "code",     "add",      "support", "for",      "new",    "printer", "driver",
    "review",  "comments", "typo",     "in",      "dialog",   "layout", "speed",   "up",
    "loading", "of",       "large",    "files",   "handle",   "empty",  "input",   "customer",
    "request", "ticket",   "rollback", "change",  "after",    "test",   "run",     "failed"};
constexpr std::array<std::string_view, 10> kExtensions = {"c",   "cpp", "h",   "txt", "doc",
                                                          "frm", "bas", "sql", "xml", "rc"};
constexpr std::array<std::string_view, 10> kUsers = {"alice", "bob",   "carol", "dmitri", "erin",
                                                     "farid", "grace", "hiro",  "ines",   "jonas"};

// Projects form a tree as even as `depth` allows: the children of project n (0 being the
// root) are n*b+1 to n*b+b, b the smallest branching that fits every project.
int Branching(const DatabaseShape& shape) {
    if (shape.projects <= 1 || shape.depth <= 1) {
        return std::max(shape.projects, 1);
    }
    for (long long b = 1;; ++b) {
        long long total = 0;
        long long level = 1;
        for (int d = 0; d < shape.depth && total < shape.projects; ++d) {
            level *= b;
            total += level;
        }
        if (total >= shape.projects) {
            return static_cast<int>(b);
        }
    }
}

void RequireRange(int value, int low, int high, const char* what) {
    if (value < low || value > high) {
        throw std::invalid_argument(std::string(what) + " must be from " + std::to_string(low) +
                                    " to " + std::to_string(high) + ", not " +
                                    std::to_string(value));
    }
}

class Generator {
  public:
    Generator(const std::filesystem::path& root, const DatabaseShape& shape)
        : shape_(shape),
          writer_(root, Options()),
          rng_(shape.seed),
          sizeRng_(shape.seed ^ 0x5EEDC0DEu),
          branching_(Branching(shape)) {
        if (shape.nonAsciiPercent > 0) {
            words_ = NonAsciiWords(shape.codePage);
        }
        for (const std::string_view user : kUsers) {
            users_.emplace_back(user);
        }
        if (!words_.empty()) {
            users_.push_back(words_[0] + "01");
            users_.push_back(words_[1 % words_.size()] + "02");
        }
        for (const std::string& user : users_) {
            writer_.AddUser(user, "");
        }
        const long long actions = static_cast<long long>(shape.projects) *
                                      (shape.filesPerProject * (shape.versionsPerFile + 2) + 4) +
                                  1;
        maxStep_ = static_cast<std::uint32_t>(
            std::clamp<long long>((kLastTime - kFirstTime) / actions * 2, 2, 7200));
    }

    GeneratedCounts Run() {
        BuildChildren(0, writer_.Root(), true);
        writer_.Write();
        return counts_;
    }

  private:
    static WriterOptions Options() {
        WriterOptions options;
        options.rootCreation = Stamp{"Admin", kFirstTime, {}};
        return options;
    }

    std::uint32_t Below(std::uint32_t n) {
        return n == 0 ? 0 : static_cast<std::uint32_t>(rng_() % n);
    }
    bool Chance(int percent) { return percent > 0 && static_cast<int>(Below(100)) < percent; }
    std::string_view Word() { return kWords[Below(kWords.size())]; }
    const std::string& NonAsciiWord() {
        return words_[Below(static_cast<std::uint32_t>(words_.size()))];
    }
    bool NonAscii() { return !words_.empty() && Chance(shape_.nonAsciiPercent); }

    Stamp NextStamp(std::string comment) {
        time_ += 1 + Below(maxStep_);
        std::string user = users_[Below(static_cast<std::uint32_t>(kUsers.size()))];
        if (NonAscii()) {
            user = users_[kUsers.size() +
                          Below(static_cast<std::uint32_t>(users_.size() - kUsers.size()))];
        }
        return Stamp{std::move(user), time_, std::move(comment)};
    }

    std::string Comment() {
        if (shape_.commentBytes == 0) {
            return {};
        }
        const std::size_t target =
            static_cast<std::size_t>(shape_.commentBytes / 2 + Below(shape_.commentBytes + 1));
        const bool multiLine = Chance(shape_.multiLinePercent);
        const bool nonAscii = NonAscii();
        std::string text;
        int wordsOnLine = 0;
        while (text.size() < target) {
            if (!text.empty()) {
                const bool breakLine = multiLine && wordsOnLine >= 4 && Below(3) == 0;
                text += breakLine ? "\r\n" : " ";
                wordsOnLine = breakLine ? 0 : wordsOnLine;
            }
            if (nonAscii && Below(4) == 0) {
                text += NonAsciiWord();
            } else if (Below(40) == 0) {
                text += "\"" + std::string(Word()) + "\"";  // quotes, for the CSV's escaping
            } else {
                text += Word();
            }
            ++wordsOnLine;
        }
        if (multiLine && text.find("\r\n") == std::string::npos) {
            text += "\r\n" + std::string(Word());
        }
        return text.substr(0, kMaxGeneratedCommentBytes);
    }

    std::string ProjectName(int number) {
        std::string stem = NonAscii() ? NonAsciiWord() : "Project";
        std::string name = stem + " " + std::to_string(number);
        if (Below(20) == 0) {
            name += " " + std::string(Word()) + " and " + std::string(Word()) +
                    " archive";  // names.dat
        }
        return name;
    }

    std::string FileName() {
        const long long number = ++fileNumber_;
        std::string stem = NonAscii() ? NonAsciiWord() : std::string(Word());
        if (Below(20) == 0) {
            stem += " " + std::string(Word()) + " " + std::string(Word()) + " notes for review";
        }
        return stem + "_" + std::to_string(number) + "." +
               std::string(kExtensions[Below(kExtensions.size())]);
    }

    // Builds the projects below node `node` (0 is the root) into item `item`. Returns whether
    // it has any.
    bool BuildChildren(int node, ItemId item, bool live) {
        bool any = false;
        for (long long child = static_cast<long long>(node) * branching_ + 1;
             child <= static_cast<long long>(node) * branching_ + branching_ &&
             child <= shape_.projects;
             ++child) {
            BuildProject(static_cast<int>(child), item, live);
            any = true;
        }
        return any;
    }

    void BuildProject(int node, ItemId parent, bool parentLive) {
        const ItemId project = writer_.AddProject(parent, ProjectName(node), NextStamp(Comment()));
        ++counts_.projects;
        long long liveFiles = 0;
        for (int i = 0; i < shape_.filesPerProject; ++i) {
            liveFiles += BuildFile(project, parent, parentLive) ? 1 : 0;
        }
        const bool hasSubprojects = BuildChildren(node, project, parentLive);
        if (Chance(shape_.labelPercent)) {
            writer_.Label(project, "Build " + std::to_string(node), NextStamp({}), Comment());
        }
        writer_.WriteSubtree(project);
        const bool deleted = !hasSubprojects && Chance(shape_.deletedProjectsPercent);
        if (deleted) {
            writer_.Delete(parent, project, NextStamp({}));
        }
        // A deleted project hides its files, so they count only now.
        if (parentLive && !deleted) {
            ++counts_.exportedProjects;
            counts_.exportedFiles += liveFiles;
            counts_.exportedVersions += liveFiles * shape_.versionsPerFile;
        }
    }

    // Returns whether the file is live in `project`.
    bool BuildFile(ItemId project, ItemId parent, bool parentLive) {
        const ItemId file =
            writer_.AddFile(project, FileName(), NextStamp(Comment()), Below(10) == 0);
        const int labelAt = shape_.versionsPerFile > 1 && Chance(shape_.labelPercent)
                                ? 2 + static_cast<int>(Below(shape_.versionsPerFile - 1))
                                : 0;
        for (int version = 2; version <= shape_.versionsPerFile; ++version) {
            if (version == labelAt) {
                const std::string labelComment = Below(2) == 0 ? Comment() : std::string();
                writer_.Label(file, "Release 1." + std::to_string(version), NextStamp({}),
                              labelComment);
            } else {
                writer_.CheckIn(file, NextStamp(Comment()), {}, Content(writer_.IsBinary(file)));
            }
        }
        ++counts_.files;
        counts_.fileVersions += shape_.versionsPerFile;
        if (Chance(shape_.deletedFilesPercent)) {
            writer_.Delete(project, file, NextStamp({}));
            return false;
        }
        if (Chance(shape_.checkedOutPercent)) {
            const Stamp stamp = NextStamp({});
            writer_.CheckOut(file, {stamp, "C:\\work", "PC-1", ""});
        }
        if (Chance(shape_.sharePercent)) {
            writer_.Share(file, parent, NextStamp({}));
            if (parentLive) {
                ++counts_.exportedFiles;
                counts_.exportedVersions += shape_.versionsPerFile;
            }
        }
        return true;
    }

    // A check-in's content of the size the shape asks for; none for the made-up line.
    std::optional<std::string> Content(bool binary) {
        const long long mean = binary ? shape_.binaryBytes : shape_.textBytes;
        if (mean == 0) {
            return std::nullopt;
        }
        const long long spread = mean * shape_.sizeSpreadPercent / 100;
        const long long size =
            mean - spread +
            static_cast<long long>(sizeRng_() % static_cast<std::uint64_t>(2 * spread + 1));
        return std::string(static_cast<std::size_t>(std::max(1LL, size)),
                           static_cast<char>('A' + sizeRng_() % 26));
    }

    const DatabaseShape& shape_;
    DatabaseWriter writer_;
    std::mt19937 rng_;
    std::mt19937_64 sizeRng_;  // content sizes only: they leave the history as it is
    int branching_;
    std::vector<std::string> words_;
    std::vector<std::string> users_;
    std::uint32_t time_ = kFirstTime;
    std::uint32_t maxStep_ = 2;
    long long fileNumber_ = 0;
    GeneratedCounts counts_;
};

}  // namespace

void CheckShape(const DatabaseShape& shape) {
    RequireRange(shape.projects, 0, 10'000'000, "the number of projects");
    RequireRange(shape.depth, 1, 1000, "the depth");
    RequireRange(shape.filesPerProject, 0, 20'000, "the number of files per project");
    RequireRange(shape.versionsPerFile, 1, kMaxVersions, "the number of versions per file");
    RequireRange(shape.commentBytes, 0, kMaxGeneratedCommentBytes, "the comment size");
    RequireRange(shape.textBytes, 0, kMaxContentBytes, "the text file size");
    RequireRange(shape.binaryBytes, 0, kMaxContentBytes, "the binary file size");
    RequireRange(shape.sizeSpreadPercent, 0, 100, "the size spread");
    for (const auto& [value, what] :
         {std::pair{shape.multiLinePercent, "the multi-line percentage"},
          {shape.labelPercent, "the label percentage"},
          {shape.sharePercent, "the share percentage"},
          {shape.deletedFilesPercent, "the deleted files percentage"},
          {shape.deletedProjectsPercent, "the deleted projects percentage"},
          {shape.nonAsciiPercent, "the non-ASCII percentage"},
          {shape.checkedOutPercent, "the checked-out percentage"}}) {
        RequireRange(value, 0, 100, what);
    }
    if (std::find(WordCodePages().begin(), WordCodePages().end(), shape.codePage) ==
        WordCodePages().end()) {
        throw std::invalid_argument("no words for code page " + std::to_string(shape.codePage) +
                                    "; known: 932, 936, 949, 950, 1250 to 1257");
    }
    // A project's own log gets a version for each child added, deleted or shared into it.
    const long long branching = Branching(shape);
    const long long projectVersions = 2 + 2 * branching + 2LL * shape.filesPerProject +
                                      branching * shape.filesPerProject * shape.sharePercent / 100;
    if (projectVersions > kMaxVersions) {
        throw std::invalid_argument(
            "this shape gives a project more than 65535 versions; use more depth or fewer files");
    }
}

GeneratedCounts GenerateDatabase(const std::filesystem::path& root, const DatabaseShape& shape) {
    CheckShape(shape);
    return Generator(root, shape).Run();
}

}  // namespace vsstest
