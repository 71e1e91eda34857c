// The command line of varnotte-csv.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace varnotte::cli {

struct Options {
    QString iniPath;
    QString spec = QStringLiteral("$/");
    QString user;  // empty: the login name
    QString password;
    bool passwordFromStdin = false;
    bool history = false;
    QString outputPath;  // empty: standard output
    int codePage = 0;    // 0: find it out
    bool quiet = false;
    bool verbose = false;  // say which code page the texts were read in, even off a terminal
};

struct ParseResult {
    std::optional<Options> options;  // empty when the program should exit
    int exitCode = 0;
    QString message;  // help, version or the usage error, for the caller to print
    bool toStandardError = false;
};

ParseResult ParseOptions(const QStringList& arguments);

}  // namespace varnotte::cli
