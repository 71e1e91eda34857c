// What the tree's messages share: their caption, how many items one lists before "他 N 件",
// and the reader's UTF-8 text as a QString.
#pragma once

#include <QString>

#include <cstddef>
#include <string>

namespace varnotte {

inline constexpr std::size_t kListedItems = 10;

inline QString PromptCaption() {
    return QStringLiteral("Varnotte");
}

inline QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace varnotte
