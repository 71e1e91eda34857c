#include "cli/arguments.h"

#include <string_view>

#include "export/utf8_text.h"

namespace varnotte::cli {
namespace {

constexpr char16_t kEscapedByte = 0xDC00;

}  // namespace

QStringList DecodeArguments(int argc, const char* const argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        std::string_view bytes(argv[i]);
        QString argument;
        while (!bytes.empty()) {
            const Utf8Step step = FirstCodePoint(bytes);
            if (step.valid) {
                argument += QString::fromUcs4(&step.codePoint, 1);
            } else {
                argument += QChar(static_cast<char16_t>(kEscapedByte + step.codePoint));
            }
            bytes.remove_prefix(step.length);
        }
        arguments.append(argument);
    }
    return arguments;
}

std::string ArgumentBytes(const QString& argument) {
    std::string bytes;
    qsizetype textStart = 0;
    const auto flushText = [&](qsizetype end) {
        bytes += argument.mid(textStart, end - textStart).toStdString();
    };
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const char16_t unit = argument.at(i).unicode();
        const bool paired = i > 0 && argument.at(i - 1).isHighSurrogate();
        if (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF && !paired) {
            flushText(i);
            bytes += static_cast<char>(unit - kEscapedByte);
            textStart = i + 1;
        }
    }
    flushText(argument.size());
    return bytes;
}

}  // namespace varnotte::cli
