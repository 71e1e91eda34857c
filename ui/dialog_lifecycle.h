// What the application does for the main dialog at the start and the end of its life:
// the component check, and loading and saving the settings. The dialog calls these at
// fixed points of its initialisation and its close; the application provides them.
#pragma once

namespace varnotte {

class CBrelwickDlg;

class DialogLifecycle {
  public:
    virtual ~DialogLifecycle() = default;

    // Checks for a usable SourceSafe component. Returns false when the dialog has been
    // ended (with -1) and its initialisation must stop.
    virtual bool CheckComponent(CBrelwickDlg& dialog) = 0;
    virtual void LoadSettings(CBrelwickDlg& dialog) = 0;
    virtual void SaveSettings(CBrelwickDlg& dialog) = 0;
};

}  // namespace varnotte
