#pragma once

#include <QString>

class IDesktop;

// Opens a file or folder with the program the desktop has for it. When there
// is none, or the item is gone, the user is told so by name: a double click
// that does nothing would leave them guessing. False then.
bool OpenWithDesktop(IDesktop& desktop, const QString& path);

// The message for an item the desktop has no program for.
QString NoProgramToOpenText(const QString& name);

// Shows a folder in the desktop's file manager; when that fails the user is
// told why (no such folder, or no file manager) by the folder's path.
bool ExploreWithDesktop(IDesktop& desktop, const QString& folder);
