#include "tree/tree_images.h"

#include <QBitmap>

namespace varnotte {

TreeImageList::TreeImageList(const QPixmap& strip, int cellSize, const QColor& transparent) {
    if (strip.isNull() || cellSize <= 0) {
        return;
    }
    QPixmap clear = strip;
    clear.setMask(strip.createMaskFromColor(transparent, Qt::MaskInColor));
    for (int x = 0; x + cellSize <= strip.width(); x += cellSize) {
        cells_.push_back(clear.copy(x, 0, cellSize, cellSize));
    }
}

QPixmap TreeImageList::cell(int index) const {
    return index >= 0 && index < count() ? cells_[static_cast<std::size_t>(index)] : QPixmap();
}

QIcon TreeImageList::Icon(int normal, int selected) const {
    QIcon icon;
    icon.addPixmap(cell(normal), QIcon::Normal);
    icon.addPixmap(cell(selected), QIcon::Selected);
    return icon;
}

}  // namespace varnotte
