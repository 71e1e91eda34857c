// Finding dialog controls by id.
#include <gtest/gtest.h>

#include <QWidget>

#include "uilib/dialog_item.h"

namespace {

using varnotte::FindDlgItem;
using varnotte::SetDlgItemId;

TEST(FindDlgItem, FindsDirectAndNestedChildrenPreferringDirectOnes) {
    QWidget dialog;
    SetDlgItemId(&dialog, 7);
    auto* group = new QWidget(&dialog);
    auto* nested = new QWidget(group);
    SetDlgItemId(nested, 1070);
    auto* nestedTwin = new QWidget(group);  // before the direct one in a depth-first search
    SetDlgItemId(nestedTwin, 1);
    auto* direct = new QWidget(&dialog);
    SetDlgItemId(direct, 1);

    EXPECT_EQ(FindDlgItem(&dialog, 1070), nested);
    EXPECT_EQ(FindDlgItem(&dialog, 1), direct);
    EXPECT_EQ(FindDlgItem(&dialog, 7), nullptr);  // the dialog is not its own child
    EXPECT_EQ(FindDlgItem(&dialog, 0), nullptr);  // the group has no id, not id 0
    EXPECT_EQ(FindDlgItem(nullptr, 1), nullptr);
}

}  // namespace
