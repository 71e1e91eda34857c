// Writing CSV rows to a file, whole or not at all.
//
// Each row is followed by CR LF, and every LF inside a value is written as CR LF too (the
// text-mode convention of the CSV files this program has always written); CR is written
// as it is. Text is written in the system's encoding (UTF-8 on Linux).
//
// A regular file, or a new one, is written to a temporary file beside it and renamed into
// place only when every byte is written, so a full disk or a failed write leaves any old
// file untouched. A target that is not a regular file (a FIFO, /dev/stdout, /dev/null) is
// written directly and never replaced.
//
// Given the database being exported (ProtectDatabase), Open refuses a path that would
// write into it (see database_files.h).
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/database_files.h"

namespace varnotte {

class CsvFileWriter {
  public:
    CsvFileWriter();
    ~CsvFileWriter();  // an uncommitted file is discarded
    CsvFileWriter(const CsvFileWriter&) = delete;
    CsvFileWriter& operator=(const CsvFileWriter&) = delete;

    // Paths that would write into `database` are refused from now on.
    void ProtectDatabase(const DatabaseFiles& database) { protected_ = database; }

    bool Open(const QString& path);
    // Writes to this process's standard output.
    bool OpenStandardOutput();

    bool WriteRow(std::string_view row);
    // Finishes the file. Returns false, with errorString() set, when any byte could not
    // be written; a target that was replaced through a temporary file is then unchanged.
    bool Commit();

    QString errorString() const { return error_; }

  private:
    bool Flush();
    bool Fail(const QString& reason);

    std::optional<DatabaseFiles> protected_;
    std::unique_ptr<QFileDevice> device_;
    bool atomic_ = false;
    bool failed_ = false;
    QString path_;
    QString error_;
    QByteArray pending_;
};

// Appends `row` with its line feeds as CR LF, then CR LF, in the system's encoding.
void AppendCsvLine(QByteArray& out, std::string_view row);

// Writes all `rows` to `path` as above, never into `database` when one is given. Returns
// false and sets `error` when it could not.
bool WriteCsvFile(const QString& path, const std::vector<std::string>& rows, QString* error,
                  const DatabaseFiles* database = nullptr);

}  // namespace varnotte
