// The deferred layout pass: what is queued, what a read during the pass sees, clipping,
// and how the pass behaves when the toolkit refuses a batch or a change.
#include <gtest/gtest.h>

#include <QEvent>
#include <QWidget>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/case_names.h"
#include "uilib/deferred_layout.h"
#include "uilib/dialog_item.h"

namespace varnotte {

void PrintTo(const CRect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

constexpr int kList = 1001;
constexpr int kButton = 1;
constexpr int kNested = 1070;   // inside a group box that has no id
constexpr int kOutside = 1099;  // placed beyond the dialog's right edge
constexpr int kMissing = 4242;

const CRect kListPlace{10, 10, 210, 130};
const CRect kButtonPlace{220, 170, 290, 194};
const CRect kNestedPlace{15, 160, 55, 180};  // in the dialog's coordinates
const CRect kOutsidePlace{400, 10, 450, 30};

constexpr PositionFlags kAlways = PositionFlag::NoZOrder | PositionFlag::NoActivate;

// The toolkit as a test scripts it; it records what it was offered and applies for real.
class ScriptedPositioning : public WindowPositioning {
  public:
    bool OpenBatch(int) override {
        ++batchesOpened;
        return grantBatches;
    }
    bool AcceptChange(const PositionChange& change) override {
        offered.push_back(change);
        return static_cast<int>(offered.size()) != refuseChange;
    }
    bool ApplyBatch(const std::vector<PositionChange>& changes) override {
        ++batchesApplied;
        WindowPositioning::ApplyBatch(changes);
        return batchSucceeds;
    }
    void ApplyNow(const PositionChange& change) override {
        appliedNow.push_back(change);
        WindowPositioning::ApplyNow(change);
    }

    bool grantBatches = true;
    bool batchSucceeds = true;
    int refuseChange = 0;  // 1-based number of the offered change to refuse; 0: none
    int batchesOpened = 0;
    int batchesApplied = 0;
    std::vector<PositionChange> offered;
    std::vector<PositionChange> appliedNow;
};

class DeferredLayoutTest : public testing::Test {
  protected:
    DeferredLayoutTest() {
        dialog_->resize(300, 200);
        list_ = AddControl(dialog_.get(), kList, QRect(10, 10, 200, 120));
        button_ = AddControl(dialog_.get(), kButton, QRect(220, 170, 70, 24));
        auto* group = new QWidget(dialog_.get());
        group->setGeometry(10, 140, 150, 50);
        nested_ = AddControl(group, kNested, QRect(5, 20, 40, 20));
        AddControl(dialog_.get(), kOutside, QRect(400, 10, 50, 20));
    }

    static QWidget* AddControl(QWidget* parent, int id, const QRect& geometry) {
        auto* control = new QWidget(parent);
        SetDlgItemId(control, id);
        control->setGeometry(geometry);
        return control;
    }
    // Where a control straight on the dialog is now.
    static CRect Place(const QWidget* control) { return CRect::FromQRect(control->geometry()); }

    std::unique_ptr<QWidget> dialog_ = std::make_unique<QWidget>();
    QWidget* list_ = nullptr;
    QWidget* button_ = nullptr;
    QWidget* nested_ = nullptr;
    ScriptedPositioning positioning_;
};

class NoBatchTest : public DeferredLayoutTest, public testing::WithParamInterface<int> {};

TEST_P(NoBatchTest, CountNotPositiveOpensNoBatchAndMovesNothing) {
    {
        CDeferredLayout layout(GetParam(), positioning_);
        EXPECT_EQ(layout.Move(list_, 0, 0, 50, 50, true), 0);
        EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kButton, 5, 5), kButtonPlace.Offset(5, 5));
        EXPECT_FALSE(layout.Begin(GetParam()));
        EXPECT_EQ(layout.GrowDlgItem(dialog_.get(), kList, 5, 5), (CRect{10, 10, 215, 135}));
    }
    EXPECT_EQ(positioning_.batchesOpened, 0);
    EXPECT_TRUE(positioning_.offered.empty());
    EXPECT_EQ(Place(list_), kListPlace);
    EXPECT_EQ(Place(button_), kButtonPlace);
}

INSTANTIATE_TEST_SUITE_P(Counts, NoBatchTest, testing::Values(0, -1, -20),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Zero")
                                                    : "Minus" + std::to_string(-info.param);
                         });

struct MoveCase {
    const char* name;
    QRect target;
    bool redraw;
    bool queued;
    PositionFlags flags;
};
// Names the case in failure messages.
void PrintTo(const MoveCase& c, std::ostream* os) {
    *os << c.name;
}

class MoveTest : public DeferredLayoutTest, public testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTest, QueuesOnlyWhatChanges) {
    const MoveCase& c = GetParam();
    CDeferredLayout layout(1, positioning_);
    EXPECT_EQ(layout.MoveToRect(list_, CRect::FromQRect(c.target), c.redraw), 1);
    ASSERT_EQ(positioning_.offered.size(), c.queued ? 1u : 0u);
    if (c.queued) {
        EXPECT_EQ(positioning_.offered[0].flags, c.flags);
    }
    EXPECT_TRUE(layout.End());
    EXPECT_EQ(list_->geometry(), c.target);
    EXPECT_EQ(positioning_.batchesApplied, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, MoveTest,
    testing::Values(MoveCase{"Unchanged", QRect(10, 10, 200, 120), true, false, {}},
                    MoveCase{"SizeOnly", QRect(10, 10, 150, 90), true, true,
                             kAlways | PositionFlag::NoMove},
                    MoveCase{"PositionOnly", QRect(30, 5, 200, 120), true, true,
                             kAlways | PositionFlag::NoSize},
                    MoveCase{"Both", QRect(0, 0, 20, 20), true, true, kAlways},
                    MoveCase{"WithoutRedraw", QRect(0, 0, 20, 20), false, true,
                             kAlways | PositionFlag::NoRedraw}),
    varnotte::test::CaseName());

TEST_F(DeferredLayoutTest, ZeroShiftOrGrowthReadsThePlaceInDialogCoordinates) {
    CDeferredLayout layout(20, positioning_);
    EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kList, 0, 0), kListPlace);
    EXPECT_EQ(layout.GrowDlgItem(dialog_.get(), kList, 0, 0), kListPlace);
    EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kNested, 0, 0), kNestedPlace);
    EXPECT_EQ(layout.GrowDlgItem(dialog_.get(), kOutside, 0, 0), kOutsidePlace);  // unclipped
    EXPECT_TRUE(positioning_.offered.empty());
}

TEST_F(DeferredLayoutTest, NestedControlIsPlacedInDialogCoordinates) {
    {
        CDeferredLayout layout(20, positioning_);
        EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kNested, 10, 5), kNestedPlace.Offset(10, 5));
    }
    EXPECT_EQ(nested_->geometry(), QRect(15, 25, 40, 20));  // in the group box's coordinates
}

TEST_F(DeferredLayoutTest, MissingControlGivesTheEmptyRectangle) {
    CDeferredLayout layout(20, positioning_);
    EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kMissing, 5, 5), CRect{});
    EXPECT_EQ(layout.GrowDlgItem(dialog_.get(), kMissing, 5, 5), CRect{});
    EXPECT_EQ(layout.OffsetDlgItem(nullptr, kList, 5, 5), CRect{});
    EXPECT_TRUE(positioning_.offered.empty());
}

struct GrowCase {
    const char* name;
    int id;
    int dx;
    int dy;
    CRect result;  // also where the control ends; the empty rectangle: it stays put
};
void PrintTo(const GrowCase& c, std::ostream* os) {
    *os << c.name;
}

class GrowTest : public DeferredLayoutTest, public testing::WithParamInterface<GrowCase> {};

TEST_P(GrowTest, ClipsToTheClientArea) {
    const GrowCase& c = GetParam();
    QWidget* const control = FindDlgItem(dialog_.get(), c.id);
    const CRect before = Place(control);
    {
        CDeferredLayout layout(20, positioning_);
        EXPECT_EQ(layout.GrowDlgItem(dialog_.get(), c.id, c.dx, c.dy), c.result);
    }
    EXPECT_EQ(Place(control), c.result == CRect{} ? before : c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Growths, GrowTest,
    testing::Values(GrowCase{"PastRightEdge", kList, 150, 0, {10, 10, 300, 130}},
                    GrowCase{"PastBottomEdge", kList, 0, 100, {10, 10, 210, 200}},
                    GrowCase{"Shrinking", kList, -50, -20, {10, 10, 160, 110}},
                    GrowCase{"WhollyOutside", kOutside, 10, 10, {}},
                    GrowCase{"ShrunkToNothing", kList, -200, 0, {}},
                    GrowCase{"ShrunkPastItsLeftEdge", kList, -250, 0, {}}),
    varnotte::test::CaseName());

TEST_F(DeferredLayoutTest, ReadsDuringTheBatchSeeThePlaceFromBefore) {
    CDeferredLayout layout(20, positioning_);
    EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kButton, 10, 0), kButtonPlace.Offset(10, 0));
    EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kButton, 10, 0), kButtonPlace.Offset(10, 0));
    EXPECT_EQ(Place(button_), kButtonPlace);
    EXPECT_TRUE(layout.End());
    EXPECT_EQ(Place(button_), kButtonPlace.Offset(10, 0));
}

TEST_F(DeferredLayoutTest, ControlQueuedTwiceEndsWithTheLaterChange) {
    {
        CDeferredLayout layout(20, positioning_);
        layout.GrowDlgItem(dialog_.get(), kList, 40, 30);
        layout.GrowDlgItem(dialog_.get(), kList, 0, -20);
    }
    EXPECT_EQ(Place(list_), (CRect{10, 10, 210, 110}));
}

TEST_F(DeferredLayoutTest, DestructionAndBeginApplyThePendingBatch) {
    {
        CDeferredLayout layout(20, positioning_);
        layout.OffsetDlgItem(dialog_.get(), kButton, 0, 8);
        EXPECT_TRUE(layout.Begin(20));
        EXPECT_EQ(Place(button_), kButtonPlace.Offset(0, 8));
        layout.OffsetDlgItem(dialog_.get(), kList, 4, 0);
        EXPECT_EQ(Place(list_), kListPlace);
    }
    EXPECT_EQ(Place(list_), kListPlace.Offset(4, 0));
    EXPECT_EQ(positioning_.batchesOpened, 2);
    EXPECT_EQ(positioning_.batchesApplied, 2);
}

TEST_F(DeferredLayoutTest, RefusedChangeIsAppliedAtOnceAndEndsTheBatch) {
    positioning_.refuseChange = 2;
    CDeferredLayout layout(20, positioning_);
    layout.OffsetDlgItem(dialog_.get(), kList, 5, 0);  // lost with the batch
    EXPECT_EQ(layout.OffsetDlgItem(dialog_.get(), kButton, 0, -3), kButtonPlace.Offset(0, -3));
    EXPECT_EQ(Place(button_), kButtonPlace.Offset(0, -3));
    ASSERT_EQ(positioning_.appliedNow.size(), 1u);
    EXPECT_EQ(positioning_.appliedNow[0].flags, positioning_.offered[1].flags);

    EXPECT_EQ(layout.Move(button_, 0, 0, 10, 10, true), 0);
    EXPECT_TRUE(layout.End());
    EXPECT_EQ(Place(list_), kListPlace);
    EXPECT_EQ(Place(button_), kButtonPlace.Offset(0, -3));
    EXPECT_EQ(positioning_.batchesApplied, 0);

    EXPECT_TRUE(layout.Begin(1));
    EXPECT_EQ(layout.Move(button_, 0, 0, 10, 10, true), 1);
}

TEST_F(DeferredLayoutTest, BatchNotGrantedMovesNothing) {
    positioning_.grantBatches = false;
    {
        CDeferredLayout layout(20, positioning_);
        EXPECT_FALSE(layout.Begin(20));
        EXPECT_EQ(layout.Move(list_, 0, 0, 10, 10, true), 0);
        layout.OffsetDlgItem(dialog_.get(), kButton, 10, 10);
    }
    EXPECT_TRUE(positioning_.offered.empty());
    EXPECT_EQ(Place(list_), kListPlace);
    EXPECT_EQ(Place(button_), kButtonPlace);
}

TEST_F(DeferredLayoutTest, FailedBatchLeavesNoBatchPending) {
    positioning_.batchSucceeds = false;
    CDeferredLayout layout(20, positioning_);
    layout.OffsetDlgItem(dialog_.get(), kButton, 10, 0);
    EXPECT_FALSE(layout.End());
    EXPECT_EQ(layout.Move(list_, 0, 0, 10, 10, true), 0);
}

TEST_F(DeferredLayoutTest, ControlDestroyedWhileQueuedIsSkipped) {
    CDeferredLayout layout(20, positioning_);
    layout.OffsetDlgItem(dialog_.get(), kList, 5, 0);
    layout.OffsetDlgItem(dialog_.get(), kButton, 5, 0);
    delete list_;
    EXPECT_TRUE(layout.End());
    EXPECT_EQ(Place(button_), kButtonPlace.Offset(5, 0));
}

// Records whether the dialog could paint at the moment its control moved.
class PaintingAtMove : public QObject {
  public:
    explicit PaintingAtMove(QWidget* dialog) : dialog_(dialog) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Move) {
            painting.push_back(dialog_->updatesEnabled());
        }
        return false;
    }
    std::vector<bool> painting;

  private:
    QWidget* dialog_;
};

TEST_F(DeferredLayoutTest, BatchIsAppliedWithPaintingSuspended) {
    dialog_->show();
    PaintingAtMove recorder(dialog_.get());
    button_->installEventFilter(&recorder);
    {
        CDeferredLayout layout(20);
        layout.OffsetDlgItem(dialog_.get(), kButton, 5, 0);
    }
    EXPECT_EQ(recorder.painting, std::vector<bool>{false});
    EXPECT_TRUE(dialog_->updatesEnabled());

    dialog_->setUpdatesEnabled(false);  // its owner's choice outlasts the batch
    CDeferredLayout(20).OffsetDlgItem(dialog_.get(), kButton, 5, 0);
    EXPECT_FALSE(dialog_->updatesEnabled());
    EXPECT_EQ(Place(button_), kButtonPlace.Offset(10, 0));
}

}  // namespace
}  // namespace varnotte
