// The main dialog's template: caption, size and controls, in dialog units.
#pragma once

#include <QRect>

#include "tree/control_ids.h"

namespace varnotte {

inline constexpr char kDialogCaption[] = "Varnotte";
inline constexpr QSize kDialogSizeUnits(221, 253);

enum class ControlKind {
    kLabel,
    kEdit,
    kPasswordEdit,
    kCheckBox,
    kButton,
    kDefaultButton,
    kTree,
    kStatus,
    kSizeGrip
};

struct ControlTemplate {
    int id;  // 0 for the labels, which nothing refers to
    ControlKind kind;
    const char* caption;  // UTF-8
    QRect units;
};

// In tab order where it matters; the labels come before the boxes they name.
inline constexpr ControlTemplate kControls[] = {
    {0, ControlKind::kLabel, "ユーザ名(&U):", QRect(7, 9, 42, 8)},
    {IDC_USER_NAME, ControlKind::kEdit, "", QRect(49, 7, 54, 13)},
    {0, ControlKind::kLabel, "パスワード(&P):", QRect(112, 9, 44, 8)},
    {IDC_PASSWORD, ControlKind::kPasswordEdit, "", QRect(160, 7, 54, 13)},
    {IDC_OUTPUT_HISTORY, ControlKind::kCheckBox, "履歴も出力", QRect(10, 26, 75, 10)},
    {IDC_BROWSE, ControlKind::kButton, "...", QRect(195, 25, 16, 12)},
    {IDC_PROJECT_TREE, ControlKind::kTree, "", QRect(7, 54, 207, 166)},
    {IDC_STOP, ControlKind::kButton, "停止(&S)", QRect(0, 222, 50, 14)},
    {IDC_STATUS, ControlKind::kStatus, "", QRect(0, 238, 221, 15)},
    {IDOK, ControlKind::kDefaultButton, "終了(&E)", QRect(165, 239, 50, 14)},
    {IDC_SIZE_GRIP, ControlKind::kSizeGrip, "", QRect(215, 241, 8, 11)},
};

// Focus moves in this order (disabled controls are skipped).
inline constexpr int kTabOrder[] = {
    IDC_USER_NAME, IDC_PASSWORD, IDC_BROWSE, IDC_PROJECT_TREE, IDC_STOP, IDOK, IDC_OUTPUT_HISTORY};

}  // namespace varnotte
