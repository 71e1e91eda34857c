// The list of databases used so far: sorted, at most one entry selected, and never two
// entries where one begins with the other in the order they were added (ignoring case).
// It has no control of its own; the user reaches databases through "...".
#pragma once

#include <QString>
#include <QStringList>

namespace varnotte {

class DatabaseList {
  public:
    // The first entry, in sorted order, that begins with `prefix` ignoring case, or -1.
    int FindPrefix(const QString& prefix) const;

    // Adds `path` unless an entry already begins with it; returns the index of the new
    // entry or of the first existing one that begins with it.
    int Add(const QString& path);

    void Select(int index);  // -1: no selection
    int selectedIndex() const { return selected_; }
    QString selectedText() const;  // empty without a selection

    int count() const { return static_cast<int>(entries_.size()); }
    QString at(int index) const { return entries_.value(index); }
    const QStringList& entries() const { return entries_; }

  private:
    QStringList entries_;
    int selected_ = -1;
};

}  // namespace varnotte
