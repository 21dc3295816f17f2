#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <string>

// An item (a file or a folder) of a folder as it was when it was copied
// elsewhere: every file of it, or below it, with its size, modification time
// and identity on disk (device and inode). The copy is stored first, which
// may be much later; meanwhile a program may save a newer file under the
// same name. The original is therefore removed only where it is still
// exactly what was copied, never by its name alone.
class TTransferredItem {
public:
    // Records folder + name (folder ends with "/"), just before it is copied.
    TTransferredItem(const QString& folder, const QString& name);

    const QString& Name() const { return m_name; }

    // The paths (the name, or name/sub/file below a folder) of the recorded
    // files still exactly as recorded in folder.
    QStringList Unchanged(const QString& folder) const;
    // True when folder holds the item exactly as recorded: every file
    // unchanged, none missing, none added.
    bool IsUnchanged(const QString& folder) const;
    // Removes from folder every file of the item still exactly as recorded,
    // then the folders left empty. Returns the paths of what stays: files
    // changed, replaced or added since, anything that is not a file or a
    // link, and what could not be removed.
    QStringList RemoveUnchanged(const QString& folder) const;
    // Removes from folder the files of the item at the paths given (as
    // Unchanged returned them, found again after a fresh extraction), then
    // the folders left empty. Returns the paths of what stays.
    QStringList RemovePaths(const QString& folder, const QStringList& paths) const;

private:
    struct TStamp {
        qint64 size = 0;
        qint64 modifiedNs = 0;
        quint64 device = 0;
        quint64 inode = 0;
        // Regular files and links are recorded and removed; anything else
        // (a pipe, a socket) never matches and stays.
        bool removable = false;
        bool operator==(const TStamp& other) const;
    };
    using TStamps = std::map<std::string, TStamp>;   // path below the folder, in the system's bytes

    TStamps Scan(const QString& folder) const;
    QStringList RemoveWhere(const QString& folder,
                            const std::function<bool(const std::string&, const TStamp&)>& remove) const;

    QString m_name;
    TStamps m_files;
};
