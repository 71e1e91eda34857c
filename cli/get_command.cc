#include "cli/get_command.h"

#include <sys/stat.h>

#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/arguments.h"
#include "cli/atomic_file.h"
#include "cli/progress_line.h"
#include "export/database_files.h"
#include "export/open_database.h"
#include "export/utf8_text.h"
#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"

namespace varnotte::cli {
namespace {

namespace fs = std::filesystem;

constexpr double kUnixEpochAsAutomationDate = 25569.0;  // 1970-01-01

void Report(std::FILE* errors, const std::string& message) {
    std::fprintf(errors, "varnotte-get: %s\n", PrintableText(message).c_str());
}

// Why a stored name cannot be a file or folder name here; empty when it can.
std::string_view UnusableName(std::string_view name) {
    if (name.empty()) {
        return "its name is empty";
    }
    if (name == "." || name == "..") {
        return "its name would lead out of its folder";
    }
    if (name.find('/') != std::string_view::npos) {
        return "its name holds a /";
    }
    if (name.find('\0') != std::string_view::npos) {
        return "its name holds a NUL";
    }
    return {};
}

// The instant a version's stored wall-clock time stands for: in the database's own time
// zone when srcsafe.ini names one, else in this machine's, where a get would have run.
std::time_t InstantOf(double automationDate, const sourcesafe::TimeZone* zone) {
    const auto wall = static_cast<std::int64_t>(
        std::llround((automationDate - kUnixEpochAsAutomationDate) * 86400.0));
    if (zone != nullptr) {
        return static_cast<std::time_t>(wall - std::int64_t{zone->UtcOffsetAt(wall)} * 60);
    }
    const std::time_t asUtc = static_cast<std::time_t>(wall);
    std::tm civil{};
    if (::gmtime_r(&asUtc, &civil) == nullptr) {
        return asUtc;
    }
    civil.tm_isdst = -1;
    const std::time_t local = std::mktime(&civil);
    return local == static_cast<std::time_t>(-1) ? asUtc : local;
}

// Whether `path` is a folder itself, not a link to one.
bool IsRealFolder(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The date of version `number` of `file`, from its history; DISP_E_BADINDEX when it has none.
double DateOf(const sourcesafe::IVSSItem& file, int number) {
    sourcesafe::IVSSVersions::Enumerator versions = file.Versions().NewEnum();
    for (sourcesafe::IVSSVersion version; versions.Next(version);) {
        if (version.VersionNumber() == number) {
            return version.Date();
        }
    }
    throw sourcesafe::VssError(sourcesafe::DISP_E_BADINDEX_RESULT,
                               "it has no version " + std::to_string(number));
}

class Getter {
  public:
    Getter(const sourcesafe::IVSSDatabase& database, const GetOptions& options, std::FILE* errors,
           bool showProgress)
        : database_(database),
          files_(FilesOf(database)),
          options_(options),
          errors_(errors),
          progress_(errors, showProgress) {}

    void Project(const sourcesafe::IVSSItem& project, const std::string& folder) {
        sourcesafe::IVSSItems children;
        try {
            children = project.Items(false);
        } catch (const sourcesafe::VssError& error) {
            Fail(project.Spec(), error.what());
            return;
        }
        const int count = children.Count();
        for (int index = 1; index <= count; ++index) {
            sourcesafe::IVSSItem child;
            try {
                child = children.Item(index);
                // Raises for a name that cannot be used, whose stand-in nothing may be
                // written under, before a folder is made by it.
                child.VersionNumber();
            } catch (const sourcesafe::VssError& error) {
                Fail(child.IsEmpty() ? project.Spec() : child.Spec(), error.what());
                continue;
            }
            const std::string name = child.Name();
            if (const std::string_view why = UnusableName(name); !why.empty()) {
                Fail(child.Spec(), std::string("not written: ") + std::string(why));
                continue;
            }
            const std::string path = folder + "/" + name;
            if (!written_.insert(path).second) {
                Fail(child.Spec(), "not written: an item before it in its project has that name");
                continue;
            }
            if (child.Type() == sourcesafe::VSSITEM_PROJECT) {
                if (MakeFolder(child.Spec(), path)) {
                    Project(child, path);
                }
            } else {
                File(child, path, 0);
            }
        }
    }

    void File(const sourcesafe::IVSSItem& file, const std::string& path, int version) {
        const std::string spec = file.Spec();
        ShowProgress(spec);
        std::string content;
        double date = 0;
        try {
            const int number = version != 0 ? version : file.VersionNumber();
            date = DateOf(file, number);
            content = file.Get(number);
        } catch (const sourcesafe::VssError& error) {
            Fail(spec, error.what());
            return;
        }
        if (const QString why = WhyTargetIsInDatabase(QFile::decodeName(path.c_str()), files_);
            !why.isEmpty()) {
            Fail(spec, "not written to " + path + ": " + why.toStdString());
            return;
        }
        std::string error;
        if (!WriteFileAtomically(path, content, InstantOf(date, database_.Zone()), options_.force,
                                 error)) {
            Fail(spec, "cannot write " + path + ": " + error);
            return;
        }
        if (const vssdb::NameDoubt* doubt = file.UncertainName(); doubt != nullptr) {
            // Written all the same, so that no content is lost; the name is the doubt.
            ClearProgress();
            Report(errors_, spec +
                                ": written under its stored short name, as its long name "
                                "cannot be read: " +
                                doubt->reason);
        }
        ++filesWritten_;
    }

    void Finish() { progress_.Clear(); }

    int failures() const { return failures_; }
    std::size_t filesWritten() const { return filesWritten_; }

  private:
    bool MakeFolder(const std::string& spec, const std::string& path) {
        if (::mkdir(path.c_str(), 0777) == 0) {
            return true;
        }
        const int code = errno;
        // Only a folder of its own: a link could lead out of DIR.
        if (code == EEXIST && IsRealFolder(path)) {
            return true;
        }
        Fail(spec, "cannot make the folder " + path + ": " +
                       (code == EEXIST ? std::string("something else of that name is there")
                                       : std::string(std::strerror(code))));
        return false;
    }

    void Fail(const std::string& spec, const std::string& message) {
        ClearProgress();
        Report(errors_, spec + ": " + message);
        ++failures_;
    }

    void ShowProgress(const std::string& spec) { progress_.Show(filesWritten_, "files", spec); }

    void ClearProgress() { progress_.Clear(); }

    const sourcesafe::IVSSDatabase& database_;
    const DatabaseFiles files_;
    const GetOptions& options_;
    std::FILE* errors_;
    ProgressLine progress_;
    std::set<std::string> written_;
    int failures_ = 0;
    std::size_t filesWritten_ = 0;
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

bool IsLoginRefusal(sourcesafe::HRESULT code) {
    return code == sourcesafe::ESS_USER_NOT_FOUND || code == sourcesafe::ESS_BAD_PASSWORD;
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
        if (IsLoginRefusal(error.code())) {
            Report(errors, "login refused: " + std::string(error.what()));
            return kExitLoginRefused;
        }
        Report(errors, "cannot open " + iniPath + ": " + error.what());
        return kExitCannotOpen;
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
