#include "controls/FileTypeIcons.h"

#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

namespace {

struct TTypeCase {
    const char* name;
    bool folder;
    const char* icon;
};

// The pictures come from the freedesktop theme the scripts install (Adwaita):
// the type's own icon where the theme has one, its generic icon otherwise.
const TTypeCase kTypes[] = {
    {"report.pdf", false, "x-office-document"},
    {"Photo.PNG", false, "image-x-generic"},
    {"page.html", false, "text-html"},
    {"song.mp3", false, "audio-x-generic"},
    {"backup.tar.gz", false, "package-x-generic"},
    {"table.xlsx", false, "x-office-spreadsheet"},
    {"notes.txt", false, "text-x-generic"},
    {"run.sh", false, "text-x-script"},
    {"no suffix at all", false, "application-x-generic"},
    {"strange.qqzzx", false, "application-x-generic"},
    {"Projects", true, "folder"},
    {"looks like a file.pdf", true, "folder"},
};

} // namespace

TEST(FileTypeIcons, EachTypeShowsItsThemeIcon)
{
    for (const TTypeCase& type : kTypes) {
        SCOPED_TRACE(type.name);
        EXPECT_EQ(TFileTypeIcons::IconName(QString::fromUtf8(type.name), type.folder).toStdString(), type.icon);
        const QIcon icon = TFileTypeIcons::ForName(QString::fromUtf8(type.name), type.folder);
        ASSERT_FALSE(icon.isNull());
        EXPECT_FALSE(icon.pixmap(16, 16).isNull());
    }
}

TEST(FileTypeIcons, DifferentTypesLookDifferent)
{
    const auto picture = [](const char* name, bool folder) {
        return TFileTypeIcons::ForName(QString::fromUtf8(name), folder).pixmap(32, 32).toImage();
    };
    EXPECT_NE(picture("a.pdf", false), picture("a", true));
    EXPECT_NE(picture("a.png", false), picture("a.mp3", false));
    // one look-up per type: two names of one type share the picture
    EXPECT_EQ(picture("a.png", false), picture("b.png", false));
}
