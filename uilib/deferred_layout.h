// CDeferredLayout moves and resizes the child controls of a dialog in one batch, and
// answers where a control sits in its dialog's client area.
//
// It is a short-lived local object for one layout pass:
//
//     CDeferredLayout layout(20);
//     layout.OffsetDlgItem(dialog, kExitButton, dx, dy);
//     layout.GrowDlgItem(dialog, kProjectTree, dx, dy);
//     // the batch is applied here, when `layout` ends (or by End())
//
// Queued changes stay invisible until the batch is applied: every read of a control's
// place during a pass sees the place from before the pass, and the changes are applied in
// the order they were queued, so a control queued twice ends with the later change.
//
// The dialog's controls are found by id (see dialog_item.h). Rectangles are in the
// dialog's client coordinates, also for a control nested inside another child widget.
#pragma once

#include <optional>
#include <vector>

#include "uilib/rect.h"
#include "uilib/window_positioning.h"

class QWidget;

namespace varnotte {

class CDeferredLayout {
  public:
    // Opens a batch for `count` moves when `count` is positive. `positioning` must outlive
    // the object; tests pass their own to make the toolkit refuse.
    explicit CDeferredLayout(int count,
                             WindowPositioning& positioning = WindowPositioning::Default());
    // Applies a pending batch.
    virtual ~CDeferredLayout();
    CDeferredLayout(const CDeferredLayout&) = delete;
    CDeferredLayout& operator=(const CDeferredLayout&) = delete;

    // Applies a pending batch first, so reopening drops nothing; then opens a batch for
    // `count` moves when `count` is positive. Returns whether a batch is pending now.
    bool Begin(int count);
    // Applies every queued move in one step. No batch is pending afterwards, whatever the
    // result. Returns false only when the toolkit reports the batch failed; with nothing
    // pending there is nothing to fail.
    bool End();

    // Queues `window` to move to x, y with the given size, in its parent's client
    // coordinates. Returns 0, changing nothing, when no batch is pending; else 1.
    // A change to the geometry the window already has is not queued; a change that keeps
    // the position (or the size) leaves that part alone. When the toolkit refuses the
    // change, the batch and its queued changes are lost, this change is applied at once,
    // and later moves return 0 until Begin.
    int Move(QWidget* window, int x, int y, int width, int height, bool redraw);
    int MoveToRect(QWidget* window, const CRect& rect, bool redraw);

    // Shifts control `id` of `dialog` by dx right and dy down. Returns the shifted
    // rectangle; with dx = dy = 0 it moves nothing and returns where the control is. A
    // missing control gives the empty rectangle.
    CRect OffsetDlgItem(QWidget* dialog, int id, int dx, int dy);
    // Moves the right edge of control `id` by dx and its bottom edge by dy (negative values
    // shrink it), clipped to the dialog's client area. Returns the clipped rectangle; with
    // dx = dy = 0 it moves nothing and returns where the control is, unclipped. When
    // nothing of the grown control would remain inside the client area, or the control is
    // missing, it stays where it is and the result is the empty rectangle.
    CRect GrowDlgItem(QWidget* dialog, int id, int dx, int dy);

  private:
    // Moves a control found under `dialog` to `rect`, given in the dialog's coordinates.
    void MoveInDialog(QWidget* dialog, QWidget* control, const CRect& rect);

    WindowPositioning& positioning_;
    std::optional<std::vector<PositionChange>> batch_;  // none: no batch is open
};

}  // namespace varnotte
