#include "cli/export_command.h"

#include <chrono>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "export/csv_file_writer.h"
#include "export/open_database.h"
#include "export/subtree_walk.h"
#include "export/utf8_text.h"
#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"

namespace varnotte::cli {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

bool IsLoginRefusal(sourcesafe::HRESULT code) {
    return code == sourcesafe::ESS_USER_NOT_FOUND || code == sourcesafe::ESS_BAD_PASSWORD;
}

// Streams rows into the writer and keeps count, progress and failures for the report.
class ExportHost : public WalkHost {
  public:
    ExportHost(CsvFileWriter& writer, int& exportRunning, std::FILE* errors, bool showProgress,
               const std::function<void()>& beforeEachItem)
        : writer_(writer),
          exportRunning_(exportRunning),
          errors_(errors),
          showProgress_(showProgress),
          beforeEachItem_(beforeEachItem) {}

    void ProcessEvents() override {
        if (beforeEachItem_) {
            beforeEachItem_();
        }
    }

    Node AddProjectNode(Node, const sourcesafe::IVSSItem&) override { return nullptr; }
    void AddFileNode(Node, const sourcesafe::IVSSItem&) override {}

    void ShowStatus(const std::string& spec) override {
        ++visited_;
        if (!showProgress_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress_ < kProgressInterval) {
            return;
        }
        lastProgress_ = now;
        // One line, rewritten in place; long specs are cut from the left, between characters.
        std::string shown = PrintableText(spec);
        if (shown.size() > 60) {
            std::size_t cut = shown.size() - 57;
            while (cut < shown.size() && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) {
                ++cut;
            }
            shown = "..." + shown.substr(cut);
        }
        std::fprintf(errors_, "\r\033[K%zu items  %s", visited_, shown.c_str());
        std::fflush(errors_);
        progressShown_ = true;
    }

    void AddRow(std::string row) override {
        if (!writer_.WriteRow(row)) {
            writeFailed_ = true;
            exportRunning_ = 0;  // no point reading on
        }
    }

    void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) override {
        failures_.push_back(spec + ": " + error.what());
    }

    void EndProgress() {
        if (progressShown_) {
            std::fprintf(errors_, "\r\033[K");
            std::fflush(errors_);
        }
    }

    bool writeFailed() const { return writeFailed_; }
    const std::vector<std::string>& failures() const { return failures_; }
    std::size_t visited() const { return visited_; }

  private:
    CsvFileWriter& writer_;
    int& exportRunning_;
    std::FILE* errors_;
    bool showProgress_;
    const std::function<void()>& beforeEachItem_;
    bool progressShown_ = false;
    bool writeFailed_ = false;
    std::size_t visited_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
    std::vector<std::string> failures_;
};

// Messages quote names, specs and paths as they are stored; none may steer the terminal.
void Report(std::FILE* errors, const std::string& message) {
    std::fprintf(errors, "varnotte-csv: %s\n", PrintableText(message).c_str());
}

std::string CodePageMessage(const sourcesafe::IVSSDatabase& database) {
    const std::string page = "code page " + std::to_string(database.CodePage());
    switch (database.GetCodePageOrigin()) {
        case sourcesafe::CodePageOrigin::kForced:
            return page + ", as --encoding says";
        case sourcesafe::CodePageOrigin::kNotNeeded:
            return "no code page needed: every name, user name and comment is ASCII";
        case sourcesafe::CodePageOrigin::kGuessed:
            break;
    }
    return page + ", guessed from the database's texts (--encoding sets another)";
}

}  // namespace

int RunExport(const Options& options, std::FILE* errors, bool showProgress,
              const std::function<void()>& beforeEachItem) {
    const std::string iniPath = ArgumentBytes(options.iniPath);
    const std::string spec = ArgumentBytes(options.spec);
    sourcesafe::IVSSDatabase database;
    std::string nodePath;
    try {
        sourcesafe::OpenSettings settings;
        settings.codePage = options.codePage;
        database = OpenDatabaseAs(iniPath, options.user, options.password, settings);
    } catch (const sourcesafe::VssError& error) {
        if (IsLoginRefusal(error.code())) {
            Report(errors, "login refused: " + std::string(error.what()));
            return kExitLoginRefused;
        }
        Report(errors, "cannot open " + iniPath + ": " + error.what());
        return kExitCannotOpen;
    }
    try {
        const sourcesafe::IVSSItem project = database.VSSItem(spec);
        if (project.Type() != sourcesafe::VSSITEM_PROJECT) {
            Report(errors, project.Spec() + " is a file; give a project to export");
            return kExitUsage;
        }
        nodePath = project.Spec();
    } catch (const sourcesafe::VssError& error) {
        if (error.code() == sourcesafe::ESS_ITEM_NOT_FOUND) {
            Report(errors, std::string("no such project: ") + error.what());
            return kExitUsage;
        }
        Report(errors, "cannot open " + spec + ": " + error.what());
        return kExitCannotOpen;
    }

    if (showProgress || options.verbose) {
        Report(errors, CodePageMessage(database));
    }

    CsvFileWriter writer;
    writer.ProtectDatabase(FilesOf(database));
    const bool opened = options.outputPath.isEmpty() ? writer.OpenStandardOutput()
                                                     : writer.Open(options.outputPath);
    const std::string target =
        options.outputPath.isEmpty() ? "standard output" : options.outputPath.toStdString();
    if (!opened) {
        Report(errors, "cannot write " + target + ": " + writer.errorString().toStdString());
        return kExitCannotWrite;
    }

    // The walk sees exactly the state of a confirmed export in the desktop program.
    const int firstExpand = 0;
    int exportRunning = 1;
    const int exportConfirmed = 1;
    const int historyFlag = options.history ? 1 : 0;
    const WalkFlags flags{firstExpand, exportRunning, exportConfirmed, historyFlag};
    ExportHost host(writer, exportRunning, errors, showProgress, beforeEachItem);
    SubtreeWalk(database, flags, host).ExpandProject(nullptr, nodePath);
    host.EndProgress();

    if (host.writeFailed() || !writer.Commit()) {
        Report(errors, "cannot write " + target + ": " + writer.errorString().toStdString());
        return kExitCannotWrite;
    }
    for (const std::string& failure : host.failures()) {
        Report(errors, "cannot read " + failure);
    }
    if (!host.failures().empty()) {
        Report(errors, std::to_string(host.failures().size()) +
                           " item(s) could not be read and are missing from the export");
        return kExitItemsUnreadable;
    }
    return kExitSuccess;
}

}  // namespace varnotte::cli
