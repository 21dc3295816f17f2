#pragma once

#include <QIcon>
#include <QString>

// The icon of a file's type as the desktop shows it: the MIME type read off
// the name, and its icon from the desktop's icon theme. Looked up once per
// type. Without any theme icon for a type the generic document icon stands
// in; a folder has the folder icon.
class TFileTypeIcons {
public:
    static QIcon ForName(const QString& name, bool folder);
    // The icon's name in the theme, the one ForName shows ("folder",
    // "text-x-generic", "image-png", ...).
    static QString IconName(const QString& name, bool folder);

    // A desktop without a theme of its own (a bare window manager, a
    // session started over the network) gets the freedesktop theme the
    // program is installed with, so types still have their pictures.
    static void EnsureIconTheme();
};
