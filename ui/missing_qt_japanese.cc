#include "ui/missing_qt_japanese.h"

#include <cstring>

namespace varnotte {
namespace {

struct Text {
    const char* context;
    const char* source;
    const char* japanese;  // as Qt's catalogue words the same texts for QFileDialog
};

constexpr Text kTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "フォルダ"},
    {"QAbstractFileIconProvider", "File", "ファイル"},
    {"QAbstractFileIconProvider", "%1 File", "%1 ファイル"},
    {"QAbstractFileIconProvider", "Drive", "ドライブ"},
    {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
    {"QAbstractFileIconProvider", "Alias", "エイリアス"},
};

}  // namespace

QString MissingQtJapanese::translate(const char* context, const char* sourceText,
                                     const char* /*disambiguation*/, int /*n*/) const {
    if (context == nullptr || sourceText == nullptr) {
        return {};
    }
    for (const Text& text : kTexts) {
        if (std::strcmp(context, text.context) == 0 && std::strcmp(sourceText, text.source) == 0) {
            return QString::fromUtf8(text.japanese);
        }
    }
    return {};  // the next translator answers
}

}  // namespace varnotte
