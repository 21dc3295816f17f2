#pragma once

class QWidget;

// The help page a control stands for. F1 opens the page of the control that
// has the focus or, when that one has none, of the nearest control around
// it; the window's own page when no control up to the window has one.
void SetControlHelpContext(QWidget* control, int context);
// The help context F1 opens for that focus: `windowContext` when neither
// the focused control nor any control around it inside its window has one.
int FocusHelpContext(const QWidget* focus, int windowContext);
