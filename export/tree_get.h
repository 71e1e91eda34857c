// Files out of the database: a file, or a project's live tree, written into a folder on
// disk, for varnotte-get and the desktop program's "取得...".
//
// Each file is written whole or not at all (see atomic_file.h) with the date of the version
// written as its modification time. Nothing is written outside the folder: a stored name
// that would lead out of it (`..`, a `/`) is refused, a folder is entered only when it is a
// real folder, not a link, and is held open while its items are written, so that it cannot
// be swapped for a link meanwhile; no path may be one of the database's own files. What
// cannot be written is reported and the rest goes on.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "export/database_files.h"
#include "sourcesafe/vss_database.h"

namespace varnotte {

// Why an item was not written.
struct GetFailure {
    enum class Kind {
        kUnreadable,        // the database could not give it; `detail` is the reader's error
        kUnusableName,      // its stored name cannot be a file name here; `detail` says why
        kNameTaken,         // an item before it in its project has that name
        kInDatabase,        // `path` is one of the database's files; `inDatabase` says which
        kCannotWrite,       // writing `path` failed; `detail` is the system's reason
        kCannotMakeFolder,  // making the folder `path` failed; `detail` likewise
    };
    Kind kind = Kind::kUnreadable;
    std::string spec;
    std::string path;
    std::string detail;
    TargetInDatabase inDatabase;
    int errorCode = 0;  // kCannotWrite, kCannotMakeFolder: the errno

    // In English, as varnotte-get reports it after the spec.
    std::string Message() const;
};

struct TreeGetCallbacks {
    // Before each file is read: how many have been written so far, and its spec.
    std::function<void(std::size_t filesWritten, const std::string& spec)> progress;
    // An item that was not written; the get goes on with the next one.
    std::function<void(const GetFailure& failure)> failed;
    // A file written under its stored short name, as its long name cannot be read.
    std::function<void(const std::string& spec, const std::string& reason)> shortName;
    // When it points at 0 the get ends before the next item (what is written stays).
    const int* running = nullptr;
};

// Why a stored name cannot be a file or folder name here; empty when it can.
std::string_view UnusableName(std::string_view name);

// The date of version `number` of `file`, from its history. Throws VssError
// (DISP_E_BADINDEX when it has no such version).
double DateOf(const sourcesafe::IVSSItem& file, int number);

class TreeGet {
  public:
    // With `replace` an existing file is replaced; otherwise it is a failure.
    TreeGet(const sourcesafe::IVSSDatabase& database, bool replace, TreeGetCallbacks callbacks);

    // Writes the project's live items below `folder`, which exists; projects as folders.
    void Project(const sourcesafe::IVSSItem& project, const std::string& folder);
    // Writes version `version` of the file (0: the current one, or its pinned version)
    // at `path`.
    void File(const sourcesafe::IVSSItem& file, const std::string& path, int version);

    int failures() const { return failures_; }
    std::size_t filesWritten() const { return filesWritten_; }
    // Whether the get ended early because `running` was cleared.
    bool stopped() const { return stopped_; }

  private:
    // A folder open for writing into, closed when it goes.
    struct Folder {
        int fd = -1;
        std::string path;
        // Set when the folder is, or lies in, one of the database's folders.
        TargetInDatabase inDatabase;

        Folder() = default;
        Folder(const Folder&) = delete;
        Folder& operator=(const Folder&) = delete;
        ~Folder();
    };
    // The identity of one of the database's folders, for telling a folder made or entered
    // by the get from it without resolving paths each time.
    struct DatabaseFolder {
        dev_t device = 0;
        ino_t inode = 0;
        TargetInDatabase target;
    };

    bool Running();
    // `path` as the caller gives it, links followed; false (reported as about `spec`) when
    // it cannot be opened.
    bool OpenGiven(const std::string& spec, const std::string& path, Folder& folder);
    bool MakeFolder(const std::string& spec, const Folder& parent, const std::string& name,
                    Folder& folder);
    void ProjectIn(const sourcesafe::IVSSItem& project, const Folder& folder);
    void FileIn(const sourcesafe::IVSSItem& file, const Folder& folder, const std::string& name,
                int version);
    // Whether writing `name` in `folder` would change the database; then it is reported.
    bool RefusedAsDatabase(const std::string& spec, const Folder& folder, const std::string& name,
                           const std::string& path, bool mayExist);
    void Fail(GetFailure failure);

    const sourcesafe::IVSSDatabase& database_;
    const DatabaseFiles files_;
    std::vector<DatabaseFolder> databaseFolders_;
    const bool replace_;
    TreeGetCallbacks callbacks_;
    std::set<std::string> written_;
    // The physical names of the projects the get is inside: a damaged child list (or one
    // of the past) that lists a project above it would otherwise lead round for ever.
    std::vector<std::string> projectsInside_;
    int failures_ = 0;
    std::size_t filesWritten_ = 0;
    bool stopped_ = false;
};

}  // namespace varnotte
