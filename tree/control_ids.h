// Ids of the main dialog's controls: the dialog places its controls and finds them by
// these ids, also for the project tree, which reaches them through its TreeHost.
#pragma once

namespace varnotte {

enum ControlId : int {
    IDOK = 1,  // "終了(&E)"
    IDC_PROJECT_TREE = 1001,
    IDC_BROWSE = 1002,  // "..."
    IDC_STOP = 1015,    // "停止(&S)"
    IDC_STATUS = 1018,
    IDC_USER_NAME = 1049,
    IDC_PASSWORD = 1050,
    IDC_SIZE_GRIP = 1069,
    IDC_OUTPUT_HISTORY = 1070,  // "履歴も出力"
};

}  // namespace varnotte
