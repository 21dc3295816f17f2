#pragma once

#include <QString>

class QPushButton;
class QWidget;

// A push button of the program's windows: its object name, caption and
// hint (status tip and tool tip); it is no default button unless made one.
QPushButton* NewCommandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint);
