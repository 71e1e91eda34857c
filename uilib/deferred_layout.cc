#include "uilib/deferred_layout.h"

#include <QPoint>
#include <QWidget>

#include <utility>

#include "uilib/dialog_item.h"

namespace varnotte {

namespace {

CRect RectInDialog(const QWidget* dialog, const QWidget* control) {
    return CRect::FromQRect(QRect(control->mapTo(dialog, QPoint(0, 0)), control->size()));
}

}  // namespace

CDeferredLayout::CDeferredLayout(int count, WindowPositioning& positioning)
    : positioning_(positioning) {
    if (count != 0) {
        Begin(count);
    }
}

CDeferredLayout::~CDeferredLayout() {
    if (batch_) {
        End();
    }
}

bool CDeferredLayout::Begin(int count) {
    if (batch_) {
        End();
    }
    if (count > 0 && positioning_.OpenBatch(count)) {
        batch_.emplace().reserve(count);
    }
    return batch_.has_value();
}

bool CDeferredLayout::End() {
    if (!batch_) {
        return true;
    }
    // Taken out first so that no batch is pending afterwards, whatever the toolkit says.
    const std::vector<PositionChange> changes = std::move(*batch_);
    batch_.reset();
    return positioning_.ApplyBatch(changes);
}

int CDeferredLayout::Move(QWidget* window, int x, int y, int width, int height, bool redraw) {
    if (!batch_) {
        return 0;
    }
    if (window == nullptr) {
        return 1;
    }
    PositionFlags flags = PositionFlag::NoZOrder | PositionFlag::NoActivate;
    const QRect current = window->geometry();
    if (x == current.x() && y == current.y()) {
        flags |= PositionFlag::NoMove;
    }
    if (width == current.width() && height == current.height()) {
        flags |= PositionFlag::NoSize;
    }
    if (flags.testFlags(PositionFlag::NoMove | PositionFlag::NoSize)) {
        return 1;
    }
    if (!redraw) {
        flags |= PositionFlag::NoRedraw;
    }
    PositionChange change{window, QRect(x, y, width, height), flags};
    if (positioning_.AcceptChange(change)) {
        batch_->push_back(std::move(change));
    } else {
        batch_.reset();
        positioning_.ApplyNow(change);
    }
    return 1;
}

int CDeferredLayout::MoveToRect(QWidget* window, const CRect& rect, bool redraw) {
    return Move(window, rect.left, rect.top, rect.width(), rect.height(), redraw);
}

CRect CDeferredLayout::OffsetDlgItem(QWidget* dialog, int id, int dx, int dy) {
    QWidget* const control = FindDlgItem(dialog, id);
    if (control == nullptr) {
        return {};
    }
    CRect rect = RectInDialog(dialog, control);
    if (dx != 0 || dy != 0) {
        rect = rect.Offset(dx, dy);
        MoveInDialog(dialog, control, rect);
    }
    return rect;
}

CRect CDeferredLayout::GrowDlgItem(QWidget* dialog, int id, int dx, int dy) {
    QWidget* const control = FindDlgItem(dialog, id);
    if (control == nullptr) {
        return {};
    }
    CRect rect = RectInDialog(dialog, control);
    if (dx != 0 || dy != 0) {
        rect.right += dx;
        rect.bottom += dy;
        rect = Intersect(rect, CRect::FromQRect(dialog->rect()));
        if (!rect.IsEmpty()) {
            MoveInDialog(dialog, control, rect);
        }
    }
    return rect;
}

void CDeferredLayout::MoveInDialog(QWidget* dialog, QWidget* control, const CRect& rect) {
    // Move takes the parent's coordinates; for a control straight on the dialog they are
    // the dialog's own.
    const QPoint origin = control->parentWidget()->mapTo(dialog, QPoint(0, 0));
    MoveToRect(control, rect.Offset(-origin.x(), -origin.y()), true);
}

}  // namespace varnotte
