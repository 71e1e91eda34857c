#include "ui/focus_cue_style.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace varnotte {

FocusCueStyle::FocusCueStyle() : QProxyStyle(nullptr) {}

void FocusCueStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (!(option->state & State_HasFocus) || (element != CE_PushButton && element != CE_CheckBox)) {
        return;
    }
    const QRect face =
        element == CE_PushButton
            ? subElementRect(SE_PushButtonFocusRect, option, widget).adjusted(1, 1, -1, -1)
            : subElementRect(SE_CheckBoxFocusRect, option, widget);
    painter->save();
    QPen dots(option->palette.color(QPalette::ButtonText), 1, Qt::DotLine);
    painter->setPen(dots);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(face.adjusted(0, 0, -1, -1));
    painter->restore();
}

}  // namespace varnotte
