#include "export/tree_get.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "export/atomic_file.h"
#include "export/utf8_text.h"
#include "sourcesafe/vss_error.h"

namespace varnotte {
namespace {

constexpr double kUnixEpochAsAutomationDate = 25569.0;  // 1970-01-01

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

TargetInDatabase TargetAtPath(const std::string& path, const DatabaseFiles& files) {
    return varnotte::FindTargetInDatabase(QFile::decodeName(path.c_str()), files);
}

constexpr int kGetFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

std::string GetFailure::Message() const {
    switch (kind) {
        case Kind::kUnreadable:
            return detail;
        case Kind::kUnusableName:
            return "not written: " + detail;
        case Kind::kNameTaken:
            return "not written: an item before it in its project has that name";
        case Kind::kInDatabase:
            return "not written to " + path + ": " +
                   DescribeTargetInDatabase(QFile::decodeName(path.c_str()), inDatabase)
                       .toStdString();
        case Kind::kCannotWrite:
            return "cannot write " + path + ": " + detail;
        case Kind::kCannotMakeFolder:
            return "cannot make the folder " + path + ": " + detail;
    }
    return detail;
}

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

TreeGet::Folder::~Folder() {
    if (fd >= 0) {
        ::close(fd);
    }
}

TreeGet::TreeGet(const sourcesafe::IVSSDatabase& database, bool replace, TreeGetCallbacks callbacks)
    : database_(database),
      files_(FilesOf(database)),
      replace_(replace),
      callbacks_(std::move(callbacks)) {
    for (const auto& [part, path] : {std::pair{DatabasePart::kDataFolder, files_.dataFolder},
                                     std::pair{DatabasePart::kUsersFolder, files_.usersFolder}}) {
        std::error_code error;
        const std::filesystem::path canonical =
            path.empty() ? path : std::filesystem::canonical(path, error);
        struct stat status {};
        if (!canonical.empty() && !error && ::stat(canonical.c_str(), &status) == 0) {
            databaseFolders_.push_back(
                {status.st_dev,
                 status.st_ino,
                 {part, QString::fromStdString(PrintableText(canonical.native()))}});
        }
    }
}

void TreeGet::Project(const sourcesafe::IVSSItem& project, const std::string& folder) {
    Folder open;
    if (OpenGiven(project.Spec(), folder, open)) {
        ProjectIn(project, open);
    }
}

void TreeGet::File(const sourcesafe::IVSSItem& file, const std::string& path, int version) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    Folder open;
    if (Running() && OpenGiven(file.Spec(), folder, open)) {
        FileIn(file, open, name, version);
    }
}

bool TreeGet::OpenGiven(const std::string& spec, const std::string& path, Folder& folder) {
    folder.fd = ::open(path.c_str(), kGetFolderFlags);
    if (folder.fd < 0) {
        const int code = errno;
        Fail({GetFailure::Kind::kCannotWrite, spec, path, std::strerror(code), {}, code});
        return false;
    }
    folder.path = path;
    // Whatever is new in it lies where the folder lies.
    folder.inDatabase = TargetAtPath(path + "/.", files_);
    return true;
}

void TreeGet::ProjectIn(const sourcesafe::IVSSItem& project, const Folder& folder) {
    sourcesafe::IVSSItems children;
    try {
        children = project.Items(false);
    } catch (const sourcesafe::VssError& error) {
        Fail({GetFailure::Kind::kUnreadable, project.Spec(), {}, error.what(), {}});
        return;
    }
    const int count = children.Count();
    for (int index = 1; index <= count && Running(); ++index) {
        sourcesafe::IVSSItem child;
        try {
            child = children.Item(index);
            // Raises for a name that cannot be used, whose stand-in nothing may be
            // written under, before a folder is made by it.
            child.VersionNumber();
        } catch (const sourcesafe::VssError& error) {
            Fail({GetFailure::Kind::kUnreadable,
                  child.IsEmpty() ? project.Spec() : child.Spec(),
                  {},
                  error.what(),
                  {}});
            continue;
        }
        const std::string name = child.Name();
        if (const std::string_view why = UnusableName(name); !why.empty()) {
            Fail({GetFailure::Kind::kUnusableName, child.Spec(), {}, std::string(why), {}});
            continue;
        }
        const std::string path = folder.path + "/" + name;
        if (!written_.insert(path).second) {
            Fail({GetFailure::Kind::kNameTaken, child.Spec(), path, {}, {}});
            continue;
        }
        if (child.Type() == sourcesafe::VSSITEM_PROJECT) {
            const std::string physical = child.Physical();
            if (std::find(projectsInside_.begin(), projectsInside_.end(), physical) !=
                    projectsInside_.end() ||
                physical == project.Physical()) {
                Fail({GetFailure::Kind::kUnreadable,
                      child.Spec(),
                      {},
                      "the project lists " + physical + ", a project it lies in",
                      {}});
                continue;
            }
            Folder sub;
            if (MakeFolder(child.Spec(), folder, name, sub)) {
                projectsInside_.push_back(project.Physical());
                ProjectIn(child, sub);
                projectsInside_.pop_back();
            }
        } else {
            FileIn(child, folder, name, 0);
        }
    }
}

void TreeGet::FileIn(const sourcesafe::IVSSItem& file, const Folder& folder,
                     const std::string& name, int version) {
    if (!Running()) {
        return;
    }
    const std::string spec = file.Spec();
    if (callbacks_.progress) {
        callbacks_.progress(filesWritten_, spec);
    }
    const std::string path = folder.path + "/" + name;
    std::string content;
    double date = 0;
    try {
        const int number = version != 0 ? version : file.VersionNumber();
        date = DateOf(file, number);
        content = file.Get(number);
    } catch (const sourcesafe::VssError& error) {
        Fail({GetFailure::Kind::kUnreadable, spec, path, error.what(), {}});
        return;
    }
    if (RefusedAsDatabase(spec, folder, name, path, replace_)) {
        return;
    }
    std::string error;
    int code = 0;
    if (!WriteFileAtomically(folder.fd, name, content, InstantOf(date, database_.Zone()), replace_,
                             error, &code)) {
        // What is in the way may be one of the database's files, which says more.
        if (code != EEXIST || !RefusedAsDatabase(spec, folder, name, path, true)) {
            Fail({GetFailure::Kind::kCannotWrite, spec, path, error, {}, code});
        }
        return;
    }
    if (const vssdb::NameDoubt* doubt = file.UncertainName();
        doubt != nullptr && callbacks_.shortName) {
        // Written all the same, so that no content is lost; the name is the doubt.
        callbacks_.shortName(spec, doubt->cause.Text());
    }
    ++filesWritten_;
}

bool TreeGet::RefusedAsDatabase(const std::string& spec, const Folder& folder,
                                const std::string& name, const std::string& path, bool mayExist) {
    TargetInDatabase found = folder.inDatabase;
    struct stat status {};
    // Only an entry already there (srcsafe.ini itself, a link into the database) can be
    // the database's in a folder that is not.
    if (!found && mayExist &&
        ::fstatat(folder.fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        found = TargetAtPath(path, files_);
    }
    if (!found) {
        return false;
    }
    Fail({GetFailure::Kind::kInDatabase, spec, path, {}, found});
    return true;
}

bool TreeGet::Running() {
    if (callbacks_.running != nullptr && *callbacks_.running == 0) {
        stopped_ = true;
    }
    return !stopped_;
}

bool TreeGet::MakeFolder(const std::string& spec, const Folder& parent, const std::string& name,
                         Folder& folder) {
    const std::string path = parent.path + "/" + name;
    const bool made = ::mkdirat(parent.fd, name.c_str(), 0777) == 0;
    int code = errno;
    if (made || code == EEXIST) {
        // Only a folder of its own: a link could lead out of the folder written into.
        folder.fd = ::openat(parent.fd, name.c_str(), kGetFolderFlags | O_NOFOLLOW);
        code = folder.fd < 0 && !made && (errno == ELOOP || errno == ENOTDIR) ? EEXIST : errno;
    }
    struct stat status {};
    if (folder.fd < 0 || ::fstat(folder.fd, &status) != 0) {
        code = folder.fd < 0 ? code : errno;
        Fail({GetFailure::Kind::kCannotMakeFolder,
              spec,
              path,
              code == EEXIST ? std::string("something else of that name is there")
                             : std::string(std::strerror(code)),
              {},
              code});
        return false;
    }
    folder.path = path;
    folder.inDatabase = parent.inDatabase;
    for (const DatabaseFolder& database : databaseFolders_) {
        if (!folder.inDatabase && database.device == status.st_dev &&
            database.inode == status.st_ino) {
            folder.inDatabase = database.target;
        }
    }
    return true;
}

void TreeGet::Fail(GetFailure failure) {
    ++failures_;
    if (callbacks_.failed) {
        callbacks_.failed(failure);
    }
}

}  // namespace varnotte
