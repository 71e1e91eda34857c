#include "ui/app_resources.h"

#include <QColor>
#include <QPixmap>

// The resources live in a static library, whose registration the linker may drop.
static void InitResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(varnotte);
        return true;
    }();
    (void)done;
}

namespace varnotte {

QIcon ApplicationIcon() {
    InitResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 128}) {
        icon.addFile(
            QStringLiteral(":/varnotte/app-icon-%1-%2.png").arg(kAppIconResource).arg(size),
            QSize(size, size));
    }
    return icon;
}

TreeImageList TreeImages() {
    InitResources();
    const QPixmap strip(QStringLiteral(":/varnotte/tree-images-%1.bmp").arg(kTreeImagesResource));
    return TreeImageList(strip, 16, QColor(255, 0, 255));
}

}  // namespace varnotte
