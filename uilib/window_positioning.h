// The toolkit side of a deferred layout pass: one child's geometry change, how it is
// applied, and the batch that applies several in one step.
//
// Qt has no batch of its own, so a batch is an ordered list of changes applied with
// painting suspended on the changed widgets' parents: the window repaints once, after
// the last change, instead of once per moved control.
#pragma once

#include <QFlags>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

namespace varnotte {

enum class PositionFlag : unsigned {
    NoZOrder = 0x01,    // keep the stacking order; without it the widget is raised
    NoActivate = 0x02,  // without it the widget's window is activated
    NoMove = 0x04,      // keep the position the widget has when the change is applied
    NoSize = 0x08,      // keep the size the widget has when the change is applied
    NoRedraw = 0x10,    // ask for no repaint beyond the one Qt makes for any move or resize
};
Q_DECLARE_FLAGS(PositionFlags, PositionFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(PositionFlags)

struct PositionChange {
    QPointer<QWidget> window;  // a widget destroyed before the change is applied is skipped
    QRect geometry;            // in the client coordinates of the widget's parent
    PositionFlags flags;
};

// Applies one change at once. NoMove and NoSize keep what the widget has at this moment,
// so a widget changed twice in one batch keeps the position of one change and the size of
// the other, as a native batch that merges them would.
void ApplyPositionChange(const PositionChange& change);

// What CDeferredLayout asks of the toolkit. The default grants every batch, accepts every
// change and applies batches as described above; tests derive from it to make the toolkit
// refuse a batch, refuse a change or report a failed batch.
class WindowPositioning {
  public:
    virtual ~WindowPositioning() = default;

    // Whether a batch for `count` changes (count > 0) can be had.
    virtual bool OpenBatch(int count);
    // Whether `change` may join the open batch. A refusal loses the whole batch.
    virtual bool AcceptChange(const PositionChange& change);
    // Applies `changes` in order, in one step. Returns whether that succeeded.
    virtual bool ApplyBatch(const std::vector<PositionChange>& changes);
    // Applies one change outside any batch.
    virtual void ApplyNow(const PositionChange& change);

    // The plain Qt behaviour; stateless, shared by every layout pass.
    static WindowPositioning& Default();
};

}  // namespace varnotte
