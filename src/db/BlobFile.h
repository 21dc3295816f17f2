#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <memory>

// A binary value kept in a file instead of in memory: an entry's archive may
// be hundreds of megabytes, and it travels from the compression folder into
// the database and from the database into the extract folder without ever
// being held whole. The value holds the file open, so its content stays
// reachable for as long as any copy of the value lives, even after the file's
// name was removed from its folder. Copies share the one file; the content
// never changes once the value is complete.
class TBlobFile {
public:
    TBlobFile() = default;

    // The file at path as it is now. Throws ETessarynError when it cannot be opened.
    static TBlobFile OpenFile(const QString& path);
    // A new, empty file without a name in folder (or in the system's
    // temporary folder when folder cannot hold one), to be filled by Append.
    // It disappears with the last copy of the value, also when the program
    // is killed. Throws ETessarynError.
    static TBlobFile CreateSpool(const QString& folder);

    bool IsValid() const { return bool(m_file); }
    qint64 Size() const;

    // Only while the value is being filled, before any copy was handed out.
    void Append(const char* data, qint64 size);

    // Reads up to size bytes at offset into buffer; returns the bytes read.
    // Throws ETessarynError on a read error.
    qint64 ReadAt(qint64 offset, char* buffer, qint64 size) const;
    // The whole content in memory: for small values only.
    QByteArray ReadAll() const;

    // Puts the content at path, replacing whatever is there only once the
    // whole content is written. A spool file in path's folder is given the
    // name without a copy. Throws ETessarynError.
    void SaveAs(const QString& path) const;

    // Values are the same when they share the one file.
    bool SameFile(const TBlobFile& other) const { return m_file == other.m_file; }

    // The size of a binary value, whether it is held in memory (QByteArray)
    // or in a file (TBlobFile); -1 for anything else.
    static qint64 ValueSize(const QVariant& value);
    static bool Holds(const QVariant& value);

private:
    struct TFile;
    explicit TBlobFile(std::shared_ptr<TFile> file) : m_file(std::move(file)) {}
    static void RegisterType();

    std::shared_ptr<TFile> m_file;
};

Q_DECLARE_METATYPE(TBlobFile)
