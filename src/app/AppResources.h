#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures: the splash picture, the application icon and the
// small pictures of the windows, looked up by name (JPG_SPLASH, A_ICO,
// BMP_HINT_INFO, ICO_STOP_RED_16x16, ...) in the resource file
// AppResources.rcc of the program's data folder. Without that file every
// picture is empty and the windows simply show nothing where a picture would be.
class TAppResources {
public:
    // The folder of the program's read-only files (ProgramDataFolder).
    static QString DataFolder();

    // Bitmaps (names beginning with BMP_) are drawn on this colour, which is
    // shown transparent.
    static QColor TransparentColor() { return QColor(128, 128, 0); }

    // <data folder>/AppResources.rcc
    static QString ResourceFile();
    // Makes the pictures of the resource file available; false when the file
    // is missing or unreadable. Registering again does nothing more.
    static bool Register();
    static bool IsRegistered();
    // Makes the pictures unavailable again; every picture is empty afterwards.
    static void Unregister();

    // The picture of that name, a null pixmap when there is none.
    static QPixmap Picture(const QString& name);
    // The picture of that name as an icon, a null icon when there is none.
    static QIcon Icon(const QString& name);
};
