// The dialog's buttons and check box with a focus cue that always shows.
//
// The platform style marks a focused button with the same outline it gives the default
// button, so Exit (the default button) looks the same with and without the focus, and it
// marks a check box only after keys have moved the focus. This style adds the classic
// dotted rectangle inside a focused button's face and around a focused check box's text,
// as the dialogs this one comes from show them.
#pragma once

#include <QProxyStyle>

namespace varnotte {

class FocusCueStyle : public QProxyStyle {
  public:
    FocusCueStyle();  // over the application's style

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

}  // namespace varnotte
