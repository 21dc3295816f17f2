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

// The first link at or below the paths that leads out of folder (or
// nowhere), empty when there is none. Such a link must not carry what it
// points at into an entry.
QString FirstLinkLeadingOutside(const QStringList& paths, const QString& folder);

// The names in folder (not below it) that are not valid text (UTF-8): the
// program cannot name such a file, so it never lists, takes or deletes it.
// Shown with the replacement character where the bytes were.
QStringList UnnameableItems(const QString& folder);
