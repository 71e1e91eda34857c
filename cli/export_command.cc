#include "cli/export_command.h"

#include <array>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/login_options.h"
#include "cli/progress_line.h"
#include "cli/report_output.h"
#include "export/content_facts.h"
#include "export/csv_rows.h"
#include "export/json_lines_format.h"
#include "export/open_database.h"
#include "export/output_file_writer.h"
#include "export/subtree_walk.h"
#include "export/user_tally.h"
#include "export/utf8_text.h"
#include "export/version_filter.h"
#include "export/wide_csv_format.h"
#include "report/content_tally.h"
#include "report/report_tally.h"
#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"

namespace varnotte::cli {
namespace {

// An item that could not be read, or one exported damaged (`damage` says how).
struct Failure {
    std::string spec;
    std::string message;
    std::optional<ItemDamage> damage;
    std::string file;    // the database's file that could not be read, when one is named
    std::string reason;  // the message without that file
};

// Where the rows of the walk go: CSV rows or JSON lines into the file.
class RowSink {
  public:
    RowSink(OutputFileWriter& writer, OutputFormat format) : writer_(writer), format_(format) {}

    bool Add(const std::string& row) {
        return format_ == OutputFormat::kJsonLines ? writer_.WriteUtf8Line(row)
                                                   : writer_.WriteRow(row);
    }

  private:
    OutputFileWriter& writer_;
    OutputFormat format_;
};

// Streams rows into the sink and keeps count, progress and failures for the report.
class ExportHost : public WalkHost {
  public:
    ExportHost(RowSink& sink, int& exportRunning, std::FILE* errors, bool showProgress,
               const std::function<void()>& beforeEachItem, ContentFactsCache* content)
        : sink_(sink),
          exportRunning_(exportRunning),
          progress_(errors, showProgress),
          beforeEachItem_(beforeEachItem),
          content_(content) {}

    void ProcessEvents() override {
        if (beforeEachItem_) {
            beforeEachItem_();
        }
    }

    void ChildrenRead(const sourcesafe::IVSSItem& project,
                      const sourcesafe::IVSSItems& children) override {
        if (content_ != nullptr) {
            content_->Ahead(project, children);
        }
    }
    Node AddProjectNode(Node, const sourcesafe::IVSSItem&) override { return nullptr; }
    void AddFileNode(Node, const sourcesafe::IVSSItem& file) override {
        if (content_ == nullptr) {
            return;
        }
        const std::string physical = file.Physical();
        if (!contentChecked_.insert(physical).second) {
            content_->Forget(physical);
            return;  // a shared file is checked where the walk reaches it first
        }
        const ContentFacts& facts = content_->Of(file);
        bool binary = false;
        try {
            binary = file.Binary();
        } catch (const sourcesafe::VssError&) {
            // read whole before the walk got here; nothing new to say
        }
        contentTally_.Add(file.Spec(), binary, facts);
        for (const std::string& data : facts.restoredDataFiles) {
            const std::string reason(sourcesafe::LineEndingsRestoredReason());
            restored_.push_back({file.Spec(), data + ": " + reason, std::nullopt, data, reason});
        }
        if (facts.error) {
            const sourcesafe::VssError& error = *facts.error;
            damagedContent_.push_back(
                {file.Spec(), error.what(), std::nullopt, error.file(), error.reason()});
        }
        content_->Forget(physical);  // its rows are made
    }

    void ShowStatus(const std::string& spec) override {
        ++visited_;
        progress_.Show(visited_, "items", spec);
    }

    void AddRow(std::string row) override {
        if (!sink_.Add(row)) {
            writeFailed_ = true;
            exportRunning_ = 0;  // no point reading on
        }
    }

    void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) override {
        failures_.push_back({spec, error.what(), std::nullopt, error.file(), error.reason()});
    }

    void ItemDamaged(const std::string& spec, const ItemDamage& damage) override {
        failures_.push_back({spec, damage.Message(), damage, damage.cause.file, damage.reason});
        if (damage.kind == ItemDamage::Kind::kDataFileMissing) {
            dataFileMissing_.insert(spec);
        }
    }

    void EndProgress() { progress_.Clear(); }

    bool writeFailed() const { return writeFailed_; }
    const std::vector<Failure>& failures() const { return failures_; }
    // Files whose content could not be rebuilt whole, and data files that had their line
    // endings restored (--check-content).
    // A file whose data file the walk found missing is named once, as the walk names it.
    std::vector<Failure> damagedContent() const {
        std::vector<Failure> damaged;
        for (const Failure& failure : damagedContent_) {
            if (!dataFileMissing_.contains(failure.spec)) {
                damaged.push_back(failure);
            }
        }
        return damaged;
    }
    const std::vector<Failure>& restored() const { return restored_; }
    const ContentTally& contentTally() const { return contentTally_; }
    std::size_t visited() const { return visited_; }

  private:
    RowSink& sink_;
    int& exportRunning_;
    ProgressLine progress_;
    const std::function<void()>& beforeEachItem_;
    ContentFactsCache* content_;
    std::unordered_set<std::string> contentChecked_;  // physical names
    ContentTally contentTally_;
    std::vector<Failure> damagedContent_;
    std::vector<Failure> restored_;
    std::unordered_set<std::string> dataFileMissing_;  // specs
    bool writeFailed_ = false;
    std::size_t visited_ = 0;
    std::vector<Failure> failures_;
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

// Says on standard error what could not be read and what is damaged; returns the status.
// A names.dat that is lost takes every long name with it: that is said once, with how many
// names it took, and each item is in the errors file.
int ReportFailures(std::FILE* errors, const std::vector<Failure>& failures) {
    std::vector<std::string> lostNames;  // causes, in the order first met
    std::map<std::string, std::size_t> namesLost;
    std::size_t unread = 0;
    std::size_t disagreeing = 0;
    for (const Failure& failure : failures) {
        if (!failure.damage) {
            ++unread;
            Report(errors, "cannot read " + failure.spec + ": " + failure.message);
        } else if (failure.damage->kind == ItemDamage::Kind::kNameUncertain) {
            const std::string cause = failure.damage->cause.Text();
            if (namesLost[cause]++ == 0) {
                lostNames.push_back(cause);
            }
        } else {
            disagreeing += failure.damage->kind == ItemDamage::Kind::kEntryDisagrees ? 1 : 0;
            Report(errors, "damaged: " + failure.spec + ": " + failure.message);
        }
    }
    for (const std::string& cause : lostNames) {
        const std::size_t count = namesLost[cause];
        Report(errors, cause + "; " + std::to_string(count) +
                           (count == 1 ? " name is shown as stored in its short form"
                                       : " names are shown as stored in their short form"));
    }
    if (unread > 0) {
        Report(errors, std::to_string(unread) +
                           (unread == 1 ? " item could not be read and is missing from the export"
                                        : " items could not be read and are missing from the "
                                          "export"));
    }
    if (disagreeing > 0) {
        Report(errors, std::to_string(disagreeing) +
                           (disagreeing == 1 ? " item disagrees with the entry that lists it; it "
                                               "is exported as its own log says"
                                             : " items disagree with the entries that list them; "
                                               "they are exported as their own logs say"));
    }
    return failures.empty() ? kExitSuccess : kExitItemsUnreadable;
}

// Whose kind of content the output shows: every version's in JSON Lines, the newest's in
// the report, none in the CSV formats and the users list.
ContentFactsCache::Types ContentTypesWanted(const Options& options) {
    if (options.report) {
        return ContentFactsCache::Types::kNewest;
    }
    return options.format == OutputFormat::kJsonLines && !options.users
               ? ContentFactsCache::Types::kEveryVersion
               : ContentFactsCache::Types::kNone;
}

// The format the options ask for; none when listing users or writing the report, which
// count into a tally instead (made here too).
std::unique_ptr<RowFormat> MakeFormat(const Options& options, const std::string& spec,
                                      const sourcesafe::TimeZone* zone, ContentFactsCache* content,
                                      std::unique_ptr<UserTally>& tally,
                                      std::unique_ptr<ReportTally>& report) {
    if (options.report) {
        report = std::make_unique<ReportTally>(spec);
        return nullptr;
    }
    if (options.users) {
        tally = std::make_unique<UserTally>();
        return nullptr;
    }
    if (options.format == OutputFormat::kJsonLines) {
        return std::make_unique<JsonLinesFormat>(JsonLinesFormat::Options{
            .deletedField = options.deleted, .timeZone = zone, .content = content});
    }
    if (options.wideColumns) {
        return std::make_unique<WideCsvFormat>(options.dates, zone);
    }
    return std::make_unique<DefaultCsvFormat>(DefaultCsvFormat::Options{
        .dates = options.dates, .timeZone = zone, .deletedColumn = options.deleted});
}

// The unreadable and the damaged items as CSV, a header row first; an empty list still
// makes the file.
bool WriteErrorsFile(const Options& options, const DatabaseFiles& database,
                     const std::vector<Failure>& failures, std::string& error) {
    OutputFileWriter writer;
    writer.ProtectDatabase(database);
    bool ok = writer.Open(options.errorsPath) &&
              writer.WriteRow(CsvRow(std::array<std::string_view, 3>{"spec", "file", "reason"}));
    for (const Failure& failure : failures) {
        if (!ok) {
            break;
        }
        ok = writer.WriteRow(
            CsvRow(std::array<std::string_view, 3>{failure.spec, failure.file, failure.reason}));
    }
    ok = ok && writer.Commit();
    if (!ok) {
        error = writer.errorString().toStdString();
    }
    return ok;
}

// The users list after the walk has counted their versions (or without a walk).
bool WriteUsers(const Options& options, const sourcesafe::IVSSDatabase& database,
                const UserTally& tally, OutputFileWriter& writer) {
    const std::vector<UserSummary> users = tally.Summaries(database.Users());
    const bool counted = options.history || options.projectHistory;
    if (options.format == OutputFormat::kJsonLines) {
        for (const UserSummary& user : users) {
            if (!writer.WriteUtf8Line(UserJsonLine(user, counted, database.Zone()))) {
                return false;
            }
        }
        return true;
    }
    if (!writer.WriteRow(UserCsvHeader(counted))) {
        return false;
    }
    for (const UserSummary& user : users) {
        if (!writer.WriteRow(UserCsvRow(user, counted, options.dates, database.Zone()))) {
            return false;
        }
    }
    return true;
}

// What the export is read from and written to, once both are open.
struct OpenExport {
    sourcesafe::IVSSDatabase database;
    std::string nodePath;  // the project's spec
    DatabaseFiles files;
    OutputFileWriter writer;
    std::string target;  // the output as messages name it
};

// Logs in, finds the project and opens the output. Returns kExitSuccess, or the status
// after saying what failed.
int Open(const Options& options, std::FILE* errors, OpenExport& open) {
    const std::string iniPath = ArgumentBytes(options.iniPath);
    const std::string spec = ArgumentBytes(options.spec);
    try {
        sourcesafe::OpenSettings settings;
        settings.codePage = options.codePage;
        // The walk reads the logs anyway: the census rides along.
        settings.settleCodePageLate = true;
        open.database = OpenDatabaseAs(iniPath, options.user, options.password, settings);
    } catch (const sourcesafe::VssError& error) {
        return ReportOpenFailure(iniPath, error,
                                 [&](const std::string& message) { Report(errors, message); });
    }
    try {
        const sourcesafe::IVSSItem project = open.database.VSSItem(spec);
        if (project.Type() != sourcesafe::VSSITEM_PROJECT) {
            Report(errors, project.Spec() + " is a file; give a project to export");
            return kExitUsage;
        }
        open.nodePath = project.Spec();
    } catch (const sourcesafe::VssError& error) {
        if (error.code() == sourcesafe::ESS_ITEM_NOT_FOUND) {
            Report(errors, std::string("no such project: ") + error.what());
            return kExitUsage;
        }
        Report(errors, "cannot open " + spec + ": " + error.what());
        return kExitCannotOpen;
    }

    open.files = FilesOf(open.database);
    open.writer.ProtectDatabase(open.files);
    const bool opened = options.outputPath.isEmpty() ? open.writer.OpenStandardOutput()
                                                     : open.writer.Open(options.outputPath);
    open.target =
        options.outputPath.isEmpty() ? "standard output" : options.outputPath.toStdString();
    if (!opened) {
        Report(errors,
               "cannot write " + open.target + ": " + open.writer.errorString().toStdString());
        return kExitCannotWrite;
    }
    return kExitSuccess;
}

// What the walk leaves for the finish.
struct Walk {
    int exportRunning = 1;             // the walk's flag, which the host clears when writing fails
    std::unique_ptr<UserTally> tally;  // --users
    std::unique_ptr<ReportTally> report;  // --report
    std::unique_ptr<RowFormat> format;    // else
    std::unique_ptr<VersionFilter> filter;
    std::unique_ptr<RowSink> sink;
    std::unique_ptr<ExportHost> host;
    // --check-content. Content does not depend on the code page: it is rebuilt once, even
    // when the walk is run again.
    std::unique_ptr<ContentFactsCache> content;
    bool written = true;
};

// Walks the project, and again from the start while the code page the texts were read in
// is overturned by the census the walk completes.
void WalkUntilCodePageConfirmed(const Options& options, OpenExport& open, std::FILE* errors,
                                bool showProgress, const std::function<void()>& beforeEachItem,
                                Walk& walk) {
    if (open.writer.CanStartOver()) {
        // What is written can be taken back: texts need not wait for the census of the
        // whole database, which the walk takes in passing.
        open.database.AllowProvisionalCodePage();
    }
    // The walk sees exactly the state of a confirmed export in the desktop program.
    const int firstExpand = 0;
    const int exportConfirmed = 1;
    const int historyFlag = options.history ? 1 : 0;
    const WalkFlags flags{firstExpand, walk.exportRunning, exportConfirmed, historyFlag};
    WalkOptions walkOptions;
    walkOptions.includeDeleted = options.deleted;
    walkOptions.projectHistory = options.projectHistory;
    if (options.checkContent) {
        walk.content = std::make_unique<ContentFactsCache>(ContentTypesWanted(options),
                                                           ContentFactsCache::EveryCore());
    }
    for (bool again = true; again;) {
        walk.exportRunning = 1;
        walk.format = MakeFormat(options, open.nodePath, open.database.Zone(), walk.content.get(),
                                 walk.tally, walk.report);
        walk.filter = std::make_unique<VersionFilter>(open.database, options.filter);
        walk.sink = std::make_unique<RowSink>(open.writer, options.format);
        walk.host = std::make_unique<ExportHost>(*walk.sink, walk.exportRunning, errors,
                                                 showProgress, beforeEachItem, walk.content.get());
        walk.written = !options.wideColumns || open.writer.WriteRow(WideCsvFormat::HeaderRow());
        walkOptions.format = walk.format.get();
        walkOptions.filter = walk.filter.get();
        walkOptions.tally =
            walk.report ? static_cast<WalkTally*>(walk.report.get()) : walk.tally.get();
        // The users alone need no walk; their versions do.
        if (walk.written && (!options.users || options.history || options.projectHistory)) {
            SubtreeWalk(open.database, flags, *walk.host, walkOptions)
                .ExpandProject(nullptr, open.nodePath);
        }
        walk.host->EndProgress();
        // Texts read in a provisional code page that the finished census overturned (a
        // rare guess from few texts): everything is read and written again in its answer.
        again = walk.written && !walk.host->writeFailed() && !open.database.ConfirmCodePage() &&
                open.writer.StartOver();
    }
}

// Writes what follows the walk (the users, the report), commits the output and the errors
// file, and says what could not be read. Returns the status.
int Finish(const Options& options, OpenExport& open, std::FILE* errors, bool showProgress,
           Walk& walk) {
    const sourcesafe::IVSSDatabase& database = open.database;
    const ExportHost& host = *walk.host;
    bool written = walk.written;
    // Told once the walk has settled it (or, for a database of ASCII texts only, settles it).
    if (showProgress || options.verbose) {
        Report(errors, CodePageMessage(database));
    }
    if (written && options.users) {
        written = WriteUsers(options, database, *walk.tally, open.writer);
    }
    for (const std::string& name : UsersListedTwice(database.Users())) {
        Report(errors, "warning: the user file " + open.files.dataFolder.native() +
                           "/um.dat lists " + name + " twice; it counts as one user");
    }
    if (written && walk.report != nullptr) {
        std::vector<UnreadableItem> unreadable;
        for (const Failure& failure : host.failures()) {
            unreadable.push_back({failure.spec, failure.message, failure.damage.has_value()});
        }
        // A file whose content cannot be rebuilt whole is still exported, as far as it goes.
        for (const Failure& failure : host.damagedContent()) {
            unreadable.push_back({failure.spec, failure.message, true});
        }
        written = WriteReport(options, database, open.nodePath, *walk.report, std::move(unreadable),
                              walk.content ? &host.contentTally().facts() : nullptr, open.writer);
    }

    int status = kExitSuccess;
    if (!written || host.writeFailed() || !open.writer.Commit()) {
        Report(errors,
               "cannot write " + open.target + ": " + open.writer.errorString().toStdString());
        status = kExitCannotWrite;
    }
    std::vector<Failure> listed = host.failures();
    const std::vector<Failure> damagedContent = host.damagedContent();
    listed.insert(listed.end(), damagedContent.begin(), damagedContent.end());
    listed.insert(listed.end(), host.restored().begin(), host.restored().end());
    if (!options.errorsPath.isEmpty()) {
        std::string error;
        if (!WriteErrorsFile(options, open.files, listed, error)) {
            Report(errors, "cannot write " + options.errorsPath.toStdString() + ": " + error);
            status = kExitCannotWrite;
        }
    }
    if (status != kExitSuccess) {
        return status;
    }
    status = ReportFailures(errors, host.failures());
    for (const Failure& failure : damagedContent) {
        Report(errors, "cannot rebuild the content of " + failure.spec + ": " + failure.message);
    }
    // Not damage: the content came back whole, but not from the bytes on disk.
    for (const Failure& failure : host.restored()) {
        Report(errors, failure.spec + ": " + failure.message);
    }
    if (!host.restored().empty()) {
        Report(errors, std::to_string(host.restored().size()) +
                           " data file(s) had their CR LF line endings restored");
    }
    if (!damagedContent.empty()) {
        Report(errors, std::to_string(damagedContent.size()) +
                           " file(s) have content that cannot be rebuilt whole");
        status = kExitItemsUnreadable;
    }
    return status;
}

int Export(const Options& options, std::FILE* errors, bool showProgress,
           const std::function<void()>& beforeEachItem) {
    OpenExport open;
    if (const int status = Open(options, errors, open); status != kExitSuccess) {
        return status;
    }
    Walk walk;
    WalkUntilCodePageConfirmed(options, open, errors, showProgress, beforeEachItem, walk);
    return Finish(options, open, errors, showProgress, walk);
}

}  // namespace

int RunExport(const Options& options, std::FILE* errors, bool showProgress,
              const std::function<void()>& beforeEachItem) {
    // Each step catches what it expects. Anything else (the database failing where no
    // step looks for it, memory running out) still ends with a status --help documents;
    // a file to be replaced is left as it was, as the writer replaces it only on Commit.
    const auto stop = [&](const std::string& message) {
        if (showProgress) {
            std::fprintf(errors, "\r\033[K");  // the progress line goes
        }
        Report(errors, message);
        return kExitCannotOpen;
    };
    try {
        return Export(options, errors, showProgress, beforeEachItem);
    } catch (const sourcesafe::VssError& error) {
        return stop("cannot read " + ArgumentBytes(options.iniPath) + ": " + error.what());
    } catch (const std::exception& error) {
        return stop(std::string("export stopped: ") + error.what());
    }
}

}  // namespace varnotte::cli
