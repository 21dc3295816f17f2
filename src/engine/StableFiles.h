#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Whether files have stopped changing. A file that another program is still
// writing (a download, a large copy into the monitored folder) keeps
// changing its size or its modification time; taken at that moment it would
// be stored half. Links are looked at themselves, never followed.
class TFileStates {
public:
    // The size and modification time of every file and folder at or below
    // the paths, as they are now.
    static TFileStates Take(const QStringList& paths);

    bool operator==(const TFileStates& other) const { return m_states == other.m_states; }
    // Milliseconds since the newest modification among the files (a very
    // large value when there are none).
    qint64 QuietForMs() const;
    int Count() const { return int(m_states.size()); }
    // The most recently modified file or folder.
    const QString& NewestPath() const { return m_newestPath; }

private:
    struct TState {
        qint64 size = 0;
        qint64 modifiedNs = 0;
        bool operator==(const TState& other) const = default;
    };
    QHash<QString, TState> m_states;
    qint64 m_newestNs = 0;
    QString m_newestPath;
};

// Waits until the files at or below the paths have kept their sizes and
// times for quietMs (a file untouched for that long is taken after one more
// short look), giving up after waitMs. Returns the path of a file that was
// still changing then, or an empty text when everything settled. Runs on
// the calling thread, which it blocks meanwhile.
QString WaitUntilFilesSettle(const QStringList& paths, int quietMs, int waitMs);

// Why the item name of the monitored folder must stay where it is, as a
// line for the user ("name": reason), or an empty text when it may be
// stored. Only files, links to files inside the folder and folders holding
// nothing else are ever stored, and so ever removed afterwards: a link that
// leads outside carries what it points at into an entry; a pipe, a socket or
// a device has no content to store and would only be deleted.
QString WhyItemStays(const QString& folder, const QString& name);

// A file name's bytes as readable text: bytes that are not valid UTF-8,
// control characters and the backslash are written as \xHH (\\).
QString ReadableFileName(const QByteArray& name);

// The names in folder (not below it) that are not valid text (UTF-8), in
// their readable form: the program cannot name such a file, so it never
// lists, takes or deletes it.
QStringList UnnameableItems(const QString& folder);

class IDesktop;
class TFolderFiles;

// Unmarks each marked item of a list of the monitored folder that must
// stay (WhyItemStays); the other marked items go on. How they are named in
// one warning, with the names the list cannot show: not at all, the marked
// items held back, or every item of the list that must stay (a store from
// the folder itself, which leaves all of them behind). Returns whether any
// item is still marked.
enum class THoldBack { Silently, NameMarked, NameAll };
bool HoldBackUnstorableItems(TFolderFiles& list, IDesktop& desktop, THoldBack naming);
