// The tree's image list: cells of one bitmap, as the dialog hands them to the tree.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <vector>

namespace varnotte {

enum TreeImage : int {
    kClosedFolderImage = 0,
    kOpenFolderImage = 1,
    kDocumentImage = 2,
    kCheckedDocumentImage = 3,
};

class TreeImageList {
  public:
    TreeImageList() = default;
    // Cuts `strip` into square cells of `cellSize`; pixels of `transparent` become clear.
    TreeImageList(const QPixmap& strip, int cellSize, const QColor& transparent);

    int count() const { return static_cast<int>(cells_.size()); }
    QPixmap cell(int index) const;
    // The icon of a node: `normal` when not selected, `selected` when selected.
    QIcon Icon(int normal, int selected) const;

  private:
    std::vector<QPixmap> cells_;
};

}  // namespace varnotte
