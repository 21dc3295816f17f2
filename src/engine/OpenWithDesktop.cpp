#include "engine/OpenWithDesktop.h"

#include "app/IDesktop.h"
#include "engine/FileHelpers.h"

#include <QFileInfo>

QString NoProgramToOpenText(const QString& name)
{
    return QStringLiteral("No program is set up to open \"%1\". Open it from its folder, or install a program for "
                          "this kind of file.")
        .arg(name);
}

bool ExploreWithDesktop(IDesktop& desktop, const QString& folder)
{
    const QString plain = ExcludeTrailingBackslash(folder);
    if (plain.isEmpty()) {
        desktop.ShowMessage(QStringLiteral("No folder is set for this. Choose one in the preferences."),
                            IDesktop::TMsgKind::Error);
        return false;
    }
    if (!QFileInfo(plain).isDir()) {
        desktop.ShowMessage(QStringLiteral("The folder \"%1\" does not exist. It may have been moved or deleted.").arg(plain),
                            IDesktop::TMsgKind::Error);
        return false;
    }
    if (desktop.ShellExplore(folder))
        return true;
    desktop.ShowMessage(QStringLiteral("No file manager is set up to show the folder \"%1\". Open it from a file "
                                       "manager, or install one.")
                            .arg(plain),
                        IDesktop::TMsgKind::Error);
    return false;
}

bool OpenWithDesktop(IDesktop& desktop, const QString& path)
{
    if (desktop.ShellOpen(path))
        return true;
    // The desktop answers false for a missing item as well; blaming the
    // missing program then would send the user looking in the wrong place.
    const QString plain = ExcludeTrailingBackslash(path);
    const QFileInfo info(plain);
    const QString name = info.fileName().isEmpty() ? plain : info.fileName();
    if (info.exists())
        desktop.ShowMessage(NoProgramToOpenText(name), IDesktop::TMsgKind::Error);
    else
        desktop.ShowMessage(QStringLiteral("\"%1\" could not be found in \"%2\". It may have been moved or deleted.")
                                .arg(name, IncludeTrailingBackslash(info.path())),
                            IDesktop::TMsgKind::Error);
    return false;
}
