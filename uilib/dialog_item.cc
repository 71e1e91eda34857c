#include "uilib/dialog_item.h"

#include <QVariant>
#include <QWidget>

namespace varnotte {

namespace {

QWidget* FindChildWithId(QWidget* dialog, int id, Qt::FindChildOptions options) {
    const auto children = dialog->findChildren<QWidget*>(QString(), options);
    for (QWidget* child : children) {
        const QVariant value = child->property(kControlIdProperty);
        if (value.isValid() && value.toInt() == id) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

void SetDlgItemId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

QWidget* FindDlgItem(QWidget* dialog, int id) {
    if (dialog == nullptr) {
        return nullptr;
    }
    if (QWidget* direct = FindChildWithId(dialog, id, Qt::FindDirectChildrenOnly)) {
        return direct;
    }
    return FindChildWithId(dialog, id, Qt::FindChildrenRecursively);
}

}  // namespace varnotte
