#pragma once

#include <QString>
#include <QStringList>

class TEntryData;
class TEntryFiles;

// The archive work of one store or extraction: which members go into an
// entry's archive, and which come out of it. Created for one operation.
class TdmZip {
public:
    // Checks that the archive's folder exists and removes an old archive of
    // that name (a failure to remove it is ignored).
    void PrepareCompress(const QString& archivePath);
    // Packs the marked items of the entry's folder: files by name, folders
    // with all their content; encrypted with the entry's password when it is
    // protected.
    void AddEntryFiles(TEntryData& entry);

    void PrepareExtract(const QString& archivePath);
    // One item (a folder with its content; a web page with its companion
    // folder), or everything when name is empty.
    void ExtractEntryItem(TEntryData& entry, const QString& name, int kind);
    // The items marked in a stored-files list.
    void ExtractEntryItems(TEntryData& entry, TEntryFiles& entryFiles);

    // The member specifications that bring out one item.
    static QStringList ItemSpecs(const QString& name, int kind);

private:
    void Extract(TEntryData& entry, const QStringList& specs);
    QString m_archivePath;
};
