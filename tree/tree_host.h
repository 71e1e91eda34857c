// What the project tree needs of the window it sits in: the status line it writes while it
// loads, and the controls that a loading switches (Stop on; "...", the user name and
// password boxes, "履歴も出力" and Exit off). The window hands itself to the tree
// (CProjectTreeCtrl::SetHost); a tree without one loads all the same and shows nothing
// outside itself.
#pragma once

#include <QString>

namespace varnotte {

class TreeHost {
  public:
    virtual ~TreeHost() = default;

    // The status line's text; null when there is no status line.
    virtual QString StatusText() const = 0;
    virtual void SetStatusText(const QString& text) = 0;
    // Stop is enabled exactly when `loading`; the controls that would disturb a loading
    // exactly when it is not.
    virtual void EnableForLoading(bool loading) = 0;
};

}  // namespace varnotte
