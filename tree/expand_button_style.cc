#include "tree/expand_button_style.h"

#include <QStyleFactory>
#include <QStyleOption>

#include <utility>

namespace varnotte {

ExpandButtonStyle::ExpandButtonStyle(std::function<bool()> hideButton)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))),
      hideButton_(std::move(hideButton)) {}

void ExpandButtonStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                      QPainter* painter, const QWidget* widget) const {
    if (element == PE_IndicatorBranch && (option->state & State_Children) && hideButton_()) {
        // Only the row's own branch carries State_Children; without it the lines stay.
        QStyleOptionViewItem copy;
        if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
            copy = *item;
        } else {
            copy.QStyleOption::operator=(*option);
        }
        copy.state &= ~State_Children;
        QProxyStyle::drawPrimitive(element, &copy, painter, widget);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

}  // namespace varnotte
