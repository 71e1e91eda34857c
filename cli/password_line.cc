#include "cli/password_line.h"

namespace varnotte::cli {

bool ReadPasswordLine(std::FILE* in, std::string& password, QString& error) {
    const QString tooLong = QStringLiteral(
                                "--password-stdin: the first line of standard input is longer "
                                "than %1 bytes, which no password is.")
                                .arg(kMaxPasswordLine);
    password.clear();
    bool any = false;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        any = true;
        if (c == '\n') {
            break;
        }
        if (password.size() > kMaxPasswordLine) {  // room for the CR of a CR LF
            error = tooLong;
            return false;
        }
        password.push_back(static_cast<char>(c));
    }
    if (!any) {
        error = QStringLiteral(
            "--password-stdin: standard input is empty; give the password on its first line.");
        return false;
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    if (password.size() > kMaxPasswordLine) {
        error = tooLong;
        return false;
    }
    return true;
}

}  // namespace varnotte::cli
