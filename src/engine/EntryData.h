#pragma once

#include "db/ClientRecordSet.h"
#include "db/DataPacket.h"
#include "engine/FileLists.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class TCategory;
class TdmMain;
class TEntryData;

// A window that shows an entry registers here and is told of every change of it.
class IEntryDataObserver {
public:
    virtual ~IEntryDataObserver() = default;
    virtual void EntryDataChanged(TEntryData* entry) = 0;
};

// One entry in memory while the program works on it: its entries row and
// entryfiles rows as record sets, the row's values as fields, the password,
// the folder where its files are unpacked and worked on, the list of that
// folder and the list of the stored files, and change tracking.
//
// Owned by the open-entries registry while open in an editor, otherwise by
// the operation that made it.
class TEntryData {
public:
    // The store itself (pack the marked files, put the archive into the row,
    // write the rows) belongs to the packaging module; Save runs it.
    using TStoreFunction = std::function<bool(TEntryData&)>;
    // Moves the items marked in source into target's folder.
    using TFileMover = std::function<void(TFolderFiles& source, TFolderFiles& target)>;

    TEntryData(TdmMain& main, bool watchFolder);
    ~TEntryData();
    TEntryData(const TEntryData&) = delete;
    TEntryData& operator=(const TEntryData&) = delete;

    TdmMain& Main() const { return m_main; }

    // Fields
    int Code() const { return m_code; }
    const QString& Title() const { return m_title; }
    const QString& Keywords() const { return m_keywords; }
    TCategory* Category() const { return m_category; }
    bool PasswordProtected() const { return m_passwordProtected; }
    // Held in memory only; the database records only that there is one.
    const QString& Password() const { return m_password; }
    const QDateTime& DateCreated() const { return m_dateCreated; }
    const QDateTime& DateModified() const { return m_dateModified; }
    const QString& Comments() const { return m_comments; }
    const QString& Source() const { return m_source; }
    // When not empty, the entry's folder instead of its extract folder.
    const QString& FolderOverride() const { return m_folderOverride; }
    void SetFolderOverride(const QString& folder) { m_folderOverride = folder; }

    TFolderFiles& FolderFiles() { return *m_folderFiles; }
    TEntryFiles& EntryFiles() { return *m_entryFiles; }
    ClientRecordSet& EntryRecordSet() { return m_entryRecordSet; }
    ClientRecordSet& EntryFilesRecordSet() { return m_entryFilesRecordSet; }

    bool Modified() const { return m_modified; }
    // The password changed since the last store: the archive must be rebuilt.
    bool PasswordChanged() const { return m_passwordChanged; }
    bool WatchFolder() const { return m_watchFolder; }
    bool DeleteStoredFilesAfterSave() const { return m_deleteStoredFilesAfterSave; }
    void SetDeleteStoredFilesAfterSave(bool value) { m_deleteStoredFilesAfterSave = value; }

    // Loads the gateway's GetEntry result: element 0 the entries row, element
    // 1 the entryfiles rows. When the entry has a code, its archive is
    // written to GetExtractArchivePath. Shows a warning and throws EAbort
    // when the row of a coded entry is gone.
    void LoadFromPacket(const DataPackets& packet);
    // Writes the fields into the row and one entryfiles row per marked item
    // of the folder, and returns the changes of both record sets for
    // ApplyEntryUpdates. Shows a warning and throws EAbort when no item is marked.
    DeltaArray BuildEntryDelta();

    // Setters; an unchanged value changes nothing.
    void SetCode(int code);
    void SetTitle(const QString& title);
    void SetKeywords(const QString& keywords);
    void SetSource(const QString& source);
    void SetComments(const QString& comments);
    void SetCategory(TCategory* category);
    // Finds the category object again by the code the entry holds, after the
    // category tree was rebuilt or a category was deleted (then none). The
    // entry's data do not change.
    void ResolveCategory();
    void SetPasswordProtected(bool passwordProtected);
    void SetPassword(const QString& password);

    bool IsModified() const;
    // The current state becomes the reference state.
    void ClearModified();
    // The record sets' changes become their base state.
    void AcceptChanges();

    // Runs the store and reports its outcome to the user.
    bool Save(const TStoreFunction& store);
    // Work that may only happen once the entry holds what it was given (files
    // taken from elsewhere leave their old place then): run once, in order,
    // after the next successful Save. An entry that is never stored drops it.
    void RunAfterNextStore(std::function<void()> work) { m_afterStore.append(std::move(work)); }
    // Puts the archive file (GetStoreArchivePath unless given) into the Items column.
    void LoadArchiveIntoRecord(const QString& archivePath = QString());

    // Folder paths end with "/".
    QString GetFolder() const;
    QString GetStoreArchivePath() const;
    QString GetExtractArchivePath() const;

    // Stored list from the rows, folder list from the disk.
    void RefreshFileLists();

    // Observers are not owned; each is registered once and told in
    // registration order. A notification raised while one is running is dropped.
    void AddObserver(IEntryDataObserver* observer);
    void RemoveObserver(IEntryDataObserver* observer);
    void NotifyObservers();
    bool Notifying() const { return m_notifying; }

    // Empties the entry's folder when temporary files go as each entry closes.
    void CleanFolder();
    void ExploreFolder();
    void MoveSelectedFilesTo(const QString& folder);
    // The entry manager installs its move; without one, items are moved
    // under their own names, or a free variant of them when taken.
    static void SetFileMover(TFileMover mover);

private:
    // Puts the row in edit mode (which starts a row in an empty set) and sets a column.
    void SetColumn(const QString& column, const QVariant& value);
    // Field and column of a text value, unless it equals the current text exactly.
    void SetTextField(QString& field, const QString& value, const QString& column);

    TdmMain& m_main;
    int m_code = 0;
    QString m_title;
    QString m_keywords;
    TCategory* m_category = nullptr;
    bool m_passwordProtected = false;
    QString m_password;
    QDateTime m_dateCreated;
    QDateTime m_dateModified;
    QString m_comments;
    QString m_source;
    QString m_folderOverride;
    bool m_modified = false;
    bool m_passwordChanged = false;
    bool m_watchFolder;
    bool m_deleteStoredFilesAfterSave = true;
    bool m_notifying = false;
    QList<IEntryDataObserver*> m_observers;
    QList<std::function<void()>> m_afterStore;

    ClientRecordSet m_entryRecordSet;
    ClientRecordSet m_entryFilesRecordSet;
    std::unique_ptr<TEntryFiles> m_entryFiles;
    std::unique_ptr<TFolderFiles> m_folderFiles;
};
