#pragma once

class QEvent;

// Whether the event brings the pointer onto a widget (1), takes it off (-1),
// or neither (0). Widgets with hover tracking get both an enter and a hover
// event for one crossing; both answer the same.
int PointerCrossing(const QEvent* event);
