// The main data module's guard around emptying the export folder.

#include "settings/dmMain.h"

#include "engine/FileHelpers.h"
#include "settings/AppSettingsCatalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Left in every export folder the program makes; a folder without it was
// made by someone else (the default folder below the data folder excepted).
const QString kMadeMark = QStringLiteral(".tessaryn-export-folder");

// The folder as the file system names it, links resolved; empty when it is not there.
QString RealPath(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}

// Whether outer is folder itself or one of the folders above it.
bool HoldsOrIs(const QString& outer, const QString& folder)
{
    if (outer.isEmpty() || folder.isEmpty())
        return false;
    return folder == outer || folder.startsWith(outer.endsWith(u'/') ? outer : outer + u'/');
}

} // namespace

void TdmMain::MarkExportFolder(const QString& folder)
{
    QFile mark(IncludeTrailingBackslash(folder) + kMadeMark);
    if (mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        mark.write("Tessaryn made this folder for its HTML exports; \"Clear !\" in its settings may empty it.\n");
}

QString TdmMain::ExportFolderClearRefusal() const
{
    const QString folder = App.ExportFolder;
    const QString shown = QDir::toNativeSeparators(folder);
    const QString real = RealPath(folder);
    if (folder.trimmed().isEmpty() || QDir(folder).isRoot() || (!real.isEmpty() && QDir(real).isRoot()))
        return QStringLiteral("The export folder [%1] is the root of the file system: it is never cleared.").arg(shown);
    if (real.isEmpty() || !QFileInfo(real).isDir())
        return QStringLiteral("The export folder [%1] does not exist: there is nothing to clear.").arg(shown);
    if (HoldsOrIs(real, RealPath(QDir::homePath())))
        return QStringLiteral("The export folder [%1] is your home folder or holds it: it is never cleared.").arg(shown);
    const QString defaultFolder = RealPath(DefaultAppSettings(ProgramFolder()).ExportFolder);
    if (real != defaultFolder && !QFileInfo(real + u'/' + kMadeMark).isFile())
        return QStringLiteral("The export folder [%1] was not made by Tessaryn: it is not cleared, so that nothing "
                              "else kept there is lost. Empty it yourself, or choose a new folder for the exports.")
            .arg(shown);
    // Only pages and the files folders the export writes beside them.
    const QFileInfoList items =
        QDir(real).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList pages;
    for (const QFileInfo& item : items)
        if (item.isFile() && !item.isSymLink() && IsHtmlPage(item.fileName()))
            pages << HtmlBaseName(item.fileName()) + QStringLiteral("_files");
    for (const QFileInfo& item : items) {
        const QString name = item.fileName();
        const bool page = item.isFile() && !item.isSymLink() && IsHtmlPage(name);
        const bool filesFolder = item.isDir() && !item.isSymLink() && pages.contains(name, Qt::CaseInsensitive);
        if (name == kMadeMark || page || filesFolder)
            continue;
        return QStringLiteral("The export folder [%1] holds \"%2\", which is no export of Tessaryn: the folder is not "
                              "cleared. Move it elsewhere first if the exports should go.")
            .arg(shown, name);
    }
    return {};
}

bool TdmMain::ClearExportFolder()
{
    if (!ExportFolderClearRefusal().isEmpty())
        return false;
    const QString folder = IncludeTrailingBackslash(App.ExportFolder);
    const bool marked = QFileInfo(folder + kMadeMark).isFile();
    DeleteFilesOlderThan(folder, QDateTime::currentDateTime().addSecs(1));
    DeleteEmptySubfolders(folder);
    if (marked)
        MarkExportFolder(folder);
    return true;
}
