#include "ui/database_list.h"

#include <algorithm>

namespace varnotte {

int DatabaseList::FindPrefix(const QString& prefix) const {
    for (int i = 0; i < entries_.size(); ++i) {
        if (entries_.at(i).startsWith(prefix, Qt::CaseInsensitive)) {
            return i;
        }
    }
    return -1;
}

int DatabaseList::Add(const QString& path) {
    const int existing = FindPrefix(path);
    if (existing >= 0) {
        return existing;
    }
    const QString selectedEntry = selectedText();
    const auto position = std::upper_bound(
        entries_.begin(), entries_.end(), path, [](const QString& a, const QString& b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
    const int index = static_cast<int>(position - entries_.begin());
    entries_.insert(index, path);
    if (selected_ >= index && !selectedEntry.isNull()) {
        ++selected_;
    }
    return index;
}

void DatabaseList::Select(int index) {
    selected_ = index >= 0 && index < entries_.size() ? index : -1;
}

QString DatabaseList::selectedText() const {
    return selected_ >= 0 ? entries_.at(selected_) : QString();
}

}  // namespace varnotte
