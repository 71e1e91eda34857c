// The run state that the application shares with its dialog and project tree.
#pragma once

namespace varnotte {

struct RunState {
    int firstExpand = 1;  // the tree has not been expanded since start; that expansion asks nothing
    int exportRunning = 0;    // an expansion is loading; Stop clears it and the walk ends
    int exportConfirmed = 0;  // the user confirmed an export for the current expansion
    int* historyFlag =
        nullptr;  // the dialog's "履歴も出力" value, pointed at during its initialisation
};

}  // namespace varnotte
