#include "controls/FileTypeIcons.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace {

// Themes that carry icons for file types, in the order they are tried when
// the desktop names none that has them.
const char* const kFallbackThemes[] = {"Adwaita", "breeze", "oxygen", "gnome", "elementary", "Tango"};

QString ThemeIconName(const QString& name, bool folder)
{
    if (folder)
        return QIcon::hasThemeIcon(QStringLiteral("folder")) ? QStringLiteral("folder")
                                                              : QStringLiteral("inode-directory");
    static const QMimeDatabase types;
    const QMimeType type = types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    for (const QString& candidate : {type.iconName(), type.genericIconName()})
        if (!candidate.isEmpty() && QIcon::hasThemeIcon(candidate))
            return candidate;
    // text/plain has no more specific picture than the generic document
    return QStringLiteral("text-x-generic");
}

} // namespace

void TFileTypeIcons::EnsureIconTheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Platforms without a desktop's own theme support (offscreen, a bare
    // X server) give Qt no folders to look for themes in; the freedesktop
    // places are where every desktop keeps them.
    QStringList searchPaths = QIcon::themeSearchPaths();
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = QDir(data).filePath(QStringLiteral("icons"));
        if (!searchPaths.contains(icons) && QFileInfo(icons).isDir())
            searchPaths.append(icons);
    }
    QIcon::setThemeSearchPaths(searchPaths);
    if (QIcon::hasThemeIcon(QStringLiteral("text-x-generic")))
        return;
    // As the fallback the desktop's own theme keeps every icon it has; a
    // desktop whose theme name Qt cannot tell gets the theme itself.
    const QString desktopTheme = QIcon::themeName();
    const QString desktopFallback = QIcon::fallbackThemeName();
    for (const char* theme : kFallbackThemes) {
        QIcon::setFallbackThemeName(QString::fromLatin1(theme));
        if (QIcon::hasThemeIcon(QStringLiteral("text-x-generic")))
            return;
        QIcon::setThemeName(QString::fromLatin1(theme));
        if (QIcon::hasThemeIcon(QStringLiteral("text-x-generic")))
            return;
        QIcon::setThemeName(desktopTheme);
    }
    QIcon::setFallbackThemeName(desktopFallback);
}

QString TFileTypeIcons::IconName(const QString& name, bool folder)
{
    EnsureIconTheme();
    return ThemeIconName(name, folder);
}

QIcon TFileTypeIcons::ForName(const QString& name, bool folder)
{
    EnsureIconTheme();
    // Grids paint every visible row again and again: one look-up per type
    // (its suffix; a name without one, "Makefile", by itself).
    static QHash<QString, QIcon> cache;
    const QString suffix = QFileInfo(name).completeSuffix().toLower();
    const QString key = folder ? QStringLiteral("/") : suffix.isEmpty() ? QStringLiteral(":") + name : suffix;
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QIcon icon = QIcon::fromTheme(ThemeIconName(name, folder));
    if (icon.isNull()) {
        // No theme at all: Qt's own pictures for files and folders.
        static const QFileIconProvider provider;
        icon = provider.icon(folder ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
    }
    return *cache.insert(key, icon);
}
