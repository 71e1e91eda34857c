// Control ids on dialog children, standing in for the ids of a dialog template.
//
// A control carries its id in the dynamic property "controlId" (an int), set with
// SetDlgItemId. Widgets without the property have no id. Ids are meant to be unique
// within one dialog.
#pragma once

class QWidget;

namespace varnotte {

inline constexpr char kControlIdProperty[] = "controlId";

void SetDlgItemId(QWidget* control, int id);

// The child of `dialog` that carries `id`, or null when there is none (or `dialog` is
// null). Direct children are searched before nested ones, so a control placed straight
// on the dialog wins over one inside a group box; the dialog itself never matches.
QWidget* FindDlgItem(QWidget* dialog, int id);

}  // namespace varnotte
