#include "engine/dZip.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/ZipArchive.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Packing or unpacking more than this shows a progress; less is over before
// a window would be worth looking at.
constexpr qint64 kProgressFromBytes = 20 * 1024 * 1024;

// Runs the archive work under a progress when it is large, with nothing
// around it otherwise.
void WithProgress(TEntryData& entry, qint64 bytes, const QString& text,
                  const std::function<void(const TZipArchive::TProgress&)>& work)
{
    if (bytes <= kProgressFromBytes) {
        work({});
        return;
    }
    TProgressScope progress(entry.Main().Desktop(), text, true);
    work([&progress](qint64 done, qint64 total) { return progress.Step(done, total); });
}

} // namespace

void TdmZip::PrepareCompress(const QString& archivePath)
{
    const QString folder = QFileInfo(archivePath).path();
    if (!QFileInfo(folder).isDir())
        throw ETessarynError(QStringLiteral("Directory <%1> does not exist. You must create it first or change the "
                                            "program options to compress files in a different folder.")
                                 .arg(ExcludeTrailingBackslash(folder)));
    m_archivePath = archivePath;
    QFile::remove(archivePath);
}

void TdmZip::AddEntryFiles(TEntryData& entry)
{
    TFolderFiles& files = entry.FolderFiles();
    QStringList items;
    for (int i = 0; i < files.Count(); ++i)
        if (files.IsSelected(i))
            items << files.Items(i)->Name();
    // at most 255 characters of the password are used (the archive layer cuts it)
    WithProgress(entry, files.SelectedSize(), QStringLiteral("Compressing the files of \"%1\"...").arg(entry.Title()),
                 [&](const TZipArchive::TProgress& progress) {
                     TZipArchive::CreateArchive(m_archivePath, files.FolderPath(), items,
                                                entry.PasswordProtected() ? entry.Password() : QString(), progress);
                 });
}

void TdmZip::PrepareExtract(const QString& archivePath)
{
    m_archivePath = archivePath;
}

QStringList TdmZip::ItemSpecs(const QString& name, int kind)
{
    if (name.isEmpty())
        return {};
    if (kind == 2)
        return {name + QStringLiteral("/*")};
    QStringList specs{name};
    if (IsHtmlPage(name))
        specs << CompanionFolderName(name) + QStringLiteral("/*");
    return specs;
}

void TdmZip::ExtractEntryItem(TEntryData& entry, const QString& name, int kind)
{
    Extract(entry, ItemSpecs(name, kind));
}

void TdmZip::ExtractEntryItems(TEntryData& entry, TEntryFiles& entryFiles)
{
    QStringList specs;
    for (int i = 0; i < entryFiles.Count(); ++i)
        if (entryFiles.IsSelected(i) && !entryFiles.Items(i)->Name().isEmpty())
            specs << ItemSpecs(entryFiles.Items(i)->Name(), entryFiles.Items(i)->Kind());
    // nothing marked: nothing to bring out (an empty list would mean "everything")
    if (specs.isEmpty())
        return;
    Extract(entry, specs);
}

void TdmZip::Extract(TEntryData& entry, const QStringList& specs)
{
    const QString folder = entry.GetFolder();
    if (!QDir().mkpath(folder))
        throw ETessarynError(QStringLiteral("The folder \"%1\" could not be created.").arg(folder));
    WithProgress(entry, QFileInfo(m_archivePath).size(),
                 QStringLiteral("Extracting the files of \"%1\"...").arg(entry.Title()),
                 [&](const TZipArchive::TProgress& progress) {
                     TZipArchive::ExtractArchive(m_archivePath, folder, specs,
                                                 entry.PasswordProtected() ? entry.Password() : QString(), progress);
                 });
}
