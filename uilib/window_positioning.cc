#include "uilib/window_positioning.h"

namespace varnotte {

void ApplyPositionChange(const PositionChange& change) {
    QWidget* const widget = change.window;
    if (widget == nullptr) {
        return;
    }
    QRect geometry = widget->geometry();
    if (!change.flags.testFlag(PositionFlag::NoMove)) {
        geometry.moveTopLeft(change.geometry.topLeft());
    }
    if (!change.flags.testFlag(PositionFlag::NoSize)) {
        geometry.setSize(change.geometry.size());
    }
    widget->setGeometry(geometry);
    if (!change.flags.testFlag(PositionFlag::NoZOrder)) {
        widget->raise();
    }
    if (!change.flags.testFlag(PositionFlag::NoActivate)) {
        widget->activateWindow();
    }
    if (!change.flags.testFlag(PositionFlag::NoRedraw)) {
        widget->update();
    }
}

bool WindowPositioning::OpenBatch(int /*count*/) {
    return true;
}

bool WindowPositioning::AcceptChange(const PositionChange& /*change*/) {
    return true;
}

bool WindowPositioning::ApplyBatch(const std::vector<PositionChange>& changes) {
    // Parents whose painting was on; one that was already off is left as its owner set it.
    std::vector<QPointer<QWidget>> suspended;
    for (const PositionChange& change : changes) {
        QWidget* const parent = change.window ? change.window->parentWidget() : nullptr;
        if (parent != nullptr && parent->updatesEnabled()) {
            parent->setUpdatesEnabled(false);
            suspended.emplace_back(parent);
        }
    }
    for (const PositionChange& change : changes) {
        ApplyPositionChange(change);
    }
    // Turning painting back on schedules the single repaint.
    for (auto parent = suspended.rbegin(); parent != suspended.rend(); ++parent) {
        if (*parent) {
            (*parent)->setUpdatesEnabled(true);
        }
    }
    return true;
}

void WindowPositioning::ApplyNow(const PositionChange& change) {
    ApplyPositionChange(change);
}

WindowPositioning& WindowPositioning::Default() {
    static WindowPositioning positioning;
    return positioning;
}

}  // namespace varnotte
