// The command line, byte for byte.
//
// Qt decodes arguments as UTF-8 and turns a byte that is not UTF-8 into U+FFFD, so a path
// such as out/\xFF.csv would come back as another path. Here such a byte becomes the lone
// surrogate U+DC00 + byte (which no valid text holds) and ArgumentBytes turns it back, so
// options can be parsed as text and paths still opened by their own bytes.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace varnotte::cli {

QStringList DecodeArguments(int argc, const char* const argv[]);

// The bytes `argument` was given as.
std::string ArgumentBytes(const QString& argument);

// Whether `argument` was valid UTF-8.
inline bool IsText(const QString& argument) {
    return argument.isValidUtf16();
}

}  // namespace varnotte::cli
