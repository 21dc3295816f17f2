#pragma once

#include <QPixmap>
#include <QString>

// The pictures of the picture buttons, by resource name: a name whose first
// three letters are "ICO" (any case) is an icon, any other a bitmap whose
// RGB(128,128,0) pixels are transparent.
class TResPicture {
public:
    static bool IsIconName(const QString& resourceId);
    // The picture, a null pixmap for an empty name or a missing resource.
    static QPixmap Load(const QString& resourceId);
    // A disabled bitmap: every visible pixel becomes the grey of its
    // luminance, greys below 92 turned to 128 and above 228 to 228, so that
    // the picture neither vanishes nor stays dark.
    static QPixmap Greyed(const QPixmap& picture);
    static int GreyOf(int luminance);
};
