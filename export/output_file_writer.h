// Writing CSV rows to a file, whole or not at all.
//
// Each row is followed by CR LF, and every LF inside a value is written as CR LF too (the
// text-mode convention of the CSV files this program has always written); CR is written
// as it is. Text is written in the system's encoding (UTF-8 on Linux).
//
// What happens depends on what the target is, wherever it lives:
// - a regular file, or a new one: written to a temporary file beside it and renamed into
//   place only when every byte is written, so a full disk or a failed write leaves any
//   old file untouched (a symbolic link keeps pointing at the new file);
// - a character device (/dev/null, a terminal) or a FIFO: written directly, never
//   replaced. A FIFO that no program reads is refused at once instead of waiting for one;
// - /dev/stdout, /dev/fd/N, /proc/self/fd/N and links to them: the stream the caller
//   opened, written into, and appended to when it leads to a regular file (a shell's
//   redirection decides whether that file was emptied first);
// - a folder or a disk device: refused.
//
// Given the database being exported (ProtectDatabase), Open refuses a path that would
// write into it (see database_files.h).
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/database_files.h"

namespace varnotte {

// Why a target could not be written, in kinds that a user interface puts in its own words.
enum class WriteFailure {
    kNone,
    kNoSuchFolder,        // the folder of the target does not exist
    kNoPermission,        // the user may not write there
    kDiskFull,            // no space (or quota) left
    kReadOnlyFileSystem,  // mounted read-only
    kIsAFolder,           // the target is a folder
    kNoReader,            // a FIFO that no program reads
    kDiskDevice,          // a block device: an export never overwrites a disk
    kInDatabase,          // a file of the database being exported
    kOther,               // anything else; `text` has the system's words
};

// The kind of an errno from writing a file.
WriteFailure WriteFailureOf(int error);

struct WriteError {
    WriteFailure kind = WriteFailure::kNone;
    QString text;                 // in English, for varnotte-csv and logs
    TargetInDatabase inDatabase;  // for kInDatabase
};

class OutputFileWriter {
  public:
    OutputFileWriter();
    ~OutputFileWriter();  // an uncommitted temporary file is removed
    OutputFileWriter(const OutputFileWriter&) = delete;
    OutputFileWriter& operator=(const OutputFileWriter&) = delete;

    // Paths that would write into `database` are refused from now on.
    void ProtectDatabase(const DatabaseFiles& database) { protected_ = database; }

    bool Open(const QString& path);
    // Writes to this process's standard output.
    bool OpenStandardOutput();

    bool WriteRow(std::string_view row);
    // Writes `line` as it is, UTF-8 whatever the system's encoding, then LF: for JSON
    // Lines, whose lines end that way and hold no line break of their own.
    bool WriteUtf8Line(std::string_view line);
    // Whether StartOver can take back what was written: true for a temporary file that
    // replaces the target, and for a regular file written directly (standard output
    // redirected to one, say) that this writer writes at the end of.
    bool CanStartOver() const { return restartAt_ >= 0 && fd_ >= 0 && !failed_; }
    // Cuts the file back to where this writer began, as if nothing had been written.
    bool StartOver();
    // Finishes the file. Returns false, with error() set, when any byte could not be
    // written; a target that was replaced through a temporary file is then unchanged.
    bool Commit();

    const WriteError& error() const { return error_; }
    QString errorString() const { return error_.text; }

  private:
    bool OpenReplacing(const QByteArray& target);
    bool OpenDirectly(const QByteArray& path, bool append, bool fifo);
    // Where StartOver may cut a directly written descriptor back to.
    void NoteRestartPoint();
    bool Flush();
    bool Fail(WriteFailure kind, const QString& text);
    bool FailWithErrno(int error);
    void Discard();

    std::optional<DatabaseFiles> protected_;
    int fd_ = -1;
    bool ownsFd_ = false;
    QByteArray temporary_;  // the file that replaces target_ at Commit; empty when direct
    QByteArray target_;
    bool failed_ = false;
    WriteError error_;
    QByteArray pending_;
    long long restartAt_ = -1;  // the size to cut the file back to; -1: cannot
};

// Appends `row` with its line feeds as CR LF, then CR LF, in the system's encoding.
void AppendCsvLine(QByteArray& out, std::string_view row);

// Writes all `rows` to `path` as above, never into `database` when one is given. Returns
// false and fills `error` (when given) when it could not.
bool WriteCsvFile(const QString& path, const std::vector<std::string>& rows, WriteError* error,
                  const DatabaseFiles* database = nullptr);

}  // namespace varnotte
