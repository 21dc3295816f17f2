#include "engine/ProtectedFolders.h"

#include "engine/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

TProtectedFolders::TProtectedFolders(const QString& listPath) : m_listPath(listPath)
{
    QFile file(m_listPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        if (IsEntryFolder(line) && !m_folders.contains(line))
            m_folders.append(line);
}

bool TProtectedFolders::IsEntryFolder(const QString& folder)
{
    if (!QDir::isAbsolutePath(folder))
        return false;
    const QString name = QFileInfo(ExcludeTrailingBackslash(folder)).fileName();
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

void TProtectedFolders::Add(const QString& folder)
{
    const QString path = IncludeTrailingBackslash(QDir::cleanPath(folder));
    if (!IsEntryFolder(path) || m_folders.contains(path))
        return;
    m_folders.append(path);
    Write();
}

void TProtectedFolders::RemoveAll()
{
    QStringList kept;
    for (const QString& folder : std::as_const(m_folders)) {
        const QString path = ExcludeTrailingBackslash(folder);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        // ShellDelete walks the folder natively: names that are no valid
        // UTF-8 go as well. A link is removed, never followed.
        if (!ShellDelete(path))
            kept.append(folder);
    }
    m_folders = kept;
    Write();
}

void TProtectedFolders::Write() const
{
    if (m_folders.isEmpty()) {
        QFile::remove(m_listPath);
        return;
    }
    QDir().mkpath(QFileInfo(m_listPath).absolutePath());
    QSaveFile file(m_listPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write((m_folders.join(u'\n') + u'\n').toUtf8());
    // A list that cannot be written loses only the clean-up after a crash;
    // the folders of this run are still removed when it ends.
    file.commit();
}
