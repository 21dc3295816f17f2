#pragma once

#include <QString>

class QPushButton;
class QWidget;

// A push button of the program's windows: its object name, caption and
// hint (status tip and tool tip); it is no default button unless made one.
// Its picture follows its name (CommandButtonPicture).
QPushButton* NewCommandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint);

// The picture of a command button by its role, which the windows name their
// buttons by (btnSave, btnCancel, btnSearch, ...): every window's Save shows
// the same picture. Empty for a name without one.
QString CommandButtonPicture(const QString& objectName);
