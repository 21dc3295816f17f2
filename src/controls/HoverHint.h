#pragma once

#include <QString>

class QWidget;

// A control whose hint depends on the spot under the pointer (a link of a
// panel, the button of a splitter bar) keeps it in its status tip and, while
// the pointer is on it, tells its parent of the change the way a menu item
// tells its owner: the window's status bar then shows the new text.
void PublishHoverHint(QWidget* control, const QString& hint);
