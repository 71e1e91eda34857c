#include "cli/get_command.h"

#include <QFile>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/arguments.h"
#include "cli/login_options.h"
#include "cli/progress_line.h"
#include "export/database_files.h"
#include "export/open_database.h"
#include "export/tree_get.h"
#include "export/utf8_text.h"
#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"

namespace varnotte::cli {
namespace {

namespace fs = std::filesystem;

void Report(std::FILE* errors, const std::string& message) {
    std::fprintf(errors, "varnotte-get: %s\n", PrintableText(message).c_str());
}

// The shared get, its failures and its progress on standard error.
class Getter {
  public:
    Getter(const sourcesafe::IVSSDatabase& database, const GetOptions& options, std::FILE* errors,
           bool showProgress)
        : progress_(errors, showProgress),
          get_(database, options.force,
               TreeGetCallbacks{
                   .progress =
                       [this](std::size_t written, const std::string& spec) {
                           progress_.Show(written, "files", spec);
                       },
                   .failed =
                       [this, errors](const GetFailure& failure) {
                           progress_.Clear();
                           Report(errors, failure.spec + ": " + failure.Message());
                       },
                   .shortName =
                       [this, errors](const std::string& spec, const std::string& reason) {
                           progress_.Clear();
                           Report(errors, spec +
                                              ": written under its stored short name, as its "
                                              "long name cannot be read: " +
                                              reason);
                       },
                   .running = nullptr,
               }) {}

    void Project(const sourcesafe::IVSSItem& project, const std::string& folder) {
        get_.Project(project, folder);
    }
    void File(const sourcesafe::IVSSItem& file, const std::string& path, int version) {
        get_.File(file, path, version);
    }
    void Finish() { progress_.Clear(); }
    int failures() const { return get_.failures(); }

  private:
    ProgressLine progress_;
    TreeGet get_;
};

// Makes DIR when it is missing; else it must be a folder, and empty unless --force.
// Returns the error, empty when DIR is ready.
std::string PrepareFolder(const std::string& folder, bool force) {
    std::error_code error;
    const fs::path path(folder);
    if (!fs::exists(path, error)) {
        fs::create_directories(path, error);
        return error ? "cannot make " + folder + ": " + error.message() : std::string();
    }
    if (!fs::is_directory(path, error)) {
        return folder + " is not a folder";
    }
    if (!force && !fs::is_empty(path, error)) {
        return folder + " is not empty (--force writes into it)";
    }
    return error ? folder + ": " + error.message() : std::string();
}

}  // namespace

int RunGet(const GetOptions& options, std::FILE* errors, bool showProgress) {
    const std::string iniPath = ArgumentBytes(options.iniPath);
    const std::string spec = ArgumentBytes(options.spec);
    std::string folder = ArgumentBytes(options.folder);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    sourcesafe::IVSSDatabase database;
    try {
        database = OpenDatabaseAs(iniPath, options.login.user, options.login.password);
    } catch (const sourcesafe::VssError& error) {
        return ReportOpenFailure(iniPath, error,
                                 [&](const std::string& message) { Report(errors, message); });
    }
    sourcesafe::IVSSItem item;
    try {
        item = database.VSSItem(spec);
    } catch (const sourcesafe::VssError& error) {
        if (error.code() == sourcesafe::ESS_ITEM_NOT_FOUND) {
            Report(errors, std::string("no such file or project: ") + error.what());
            return kExitUsage;
        }
        Report(errors, "cannot open " + spec + ": " + error.what());
        return kExitCannotOpen;
    }
    if (!options.label.isEmpty() || options.date) {
        try {
            item = options.date ? item.AtDate(*options.date)
                                : item.AtLabel(ArgumentBytes(options.label));
            item.VersionNumber();  // whether it existed then
        } catch (const sourcesafe::VssError& error) {
            Report(errors, error.what());
            return error.code() == sourcesafe::DISP_E_BADINDEX_RESULT ? kExitUsage
                                                                      : kExitItemsUnreadable;
        }
    }
    const bool isProject = item.Type() == sourcesafe::VSSITEM_PROJECT;
    if (options.version != 0 && isProject) {
        Report(errors, "--version is for a file; " + item.Spec() + " is a project");
        return kExitUsage;
    }
    if (options.version != 0) {
        try {
            DateOf(item, options.version);
        } catch (const sourcesafe::VssError& error) {
            Report(errors, item.Spec() + ": " + error.what());
            return error.code() == sourcesafe::DISP_E_BADINDEX_RESULT ? kExitUsage
                                                                      : kExitItemsUnreadable;
        }
    }
    const std::string name = item.Name();
    if (!isProject) {
        if (const std::string_view why = UnusableName(name); !why.empty()) {
            Report(errors, item.Spec() + ": not written: " + std::string(why));
            return kExitItemsUnreadable;
        }
    }
    if (const QString why = WhyTargetIsInDatabase(QFile::decodeName((folder + "/" + name).c_str()),
                                                  FilesOf(database));
        !why.isEmpty()) {
        Report(errors, "will not write into the database: " + why.toStdString());
        return kExitCannotWrite;
    }
    if (const std::string error = PrepareFolder(folder, options.force); !error.empty()) {
        Report(errors, error);
        return kExitCannotWrite;
    }

    Getter getter(database, options, errors, showProgress);
    if (isProject) {
        getter.Project(item, folder);
    } else {
        getter.File(item, folder + "/" + name, options.version);
    }
    getter.Finish();
    if (getter.failures() != 0) {
        Report(errors, std::to_string(getter.failures()) +
                           " items could not be written; the other files were");
        return kExitItemsUnreadable;
    }
    return kExitSuccess;
}

}  // namespace varnotte::cli
