// Running the varnotte-csv built with the tests, as a user runs it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace varnotte::test {

struct CsvRun {
    int exitCode = -1;  // -1 when it crashed or did not end in time
    std::string out;
    std::string err;
};

// `input` goes to its standard input, which is then closed. With `asOrdinaryUser`, a test
// run as root runs the program as nobody, to whom file permissions apply.
CsvRun RunCsv(const QStringList& arguments, const QByteArray& input = {},
              bool asOrdinaryUser = false);

// The same with arguments given as bytes, which need not be UTF-8 (QProcess would send
// them as UTF-8), run in `folder` (bytes too) unless it is empty. Standard input is empty.
CsvRun RunCsvBytes(const std::vector<std::string>& arguments, const std::string& folder = {});

// Runs it with standard output appended to `file`, as `>> file` does; returns its exit
// status (-1 when it crashed or did not end in time).
int RunCsvAppendingTo(const QStringList& arguments, const QString& file);

// The built program's path.
QString CsvProgramPath();

}  // namespace varnotte::test
