#pragma once

#include <QString>
#include <QStringList>

// The entry folders that held plain copies of a password-protected entry's
// files during this run: extracted ones, and those moved into the mail
// folder to be attached. Whatever the clean-up settings keep of other
// entries, these folders go when the program ends: the password protects the
// stored archive only, not a copy left on disk.
//
// The list is written to disk each time a folder joins it, so that a run
// that dies leaves it to the next start, which removes what it names.
class TProtectedFolders {
public:
    // Reads what an earlier run left in the list file.
    explicit TProtectedFolders(const QString& listPath);
    TProtectedFolders(const TProtectedFolders&) = delete;
    TProtectedFolders& operator=(const TProtectedFolders&) = delete;

    const QString& ListPath() const { return m_listPath; }
    const QStringList& Folders() const { return m_folders; }

    // Records an entry's folder (ending with "/") once, before any plain file
    // is written into it.
    void Add(const QString& folder);
    // Removes every recorded folder with its content. A folder that cannot be
    // removed stays listed for the next time; the list file goes once it is
    // empty. Never throws.
    void RemoveAll();

    // Only an entry's own folder, named after its code, is ever removed: a
    // damaged or edited list must not take any other folder with it.
    static bool IsEntryFolder(const QString& folder);

private:
    void Write() const;

    QString m_listPath;
    QStringList m_folders;
};
