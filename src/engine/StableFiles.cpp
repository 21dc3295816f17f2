#include "engine/StableFiles.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <limits>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace {

namespace fs = std::filesystem;

fs::path ToFsPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString FromFsPath(const fs::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

// A short second look at files that were already quiet: enough to see a
// writer that keeps old times (a copy that sets them first) still growing.
constexpr int kConfirmMs = 60;

bool IsInsideFolder(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

} // namespace

TFileStates TFileStates::Take(const QStringList& paths)
{
    TFileStates result;
    auto add = [&result](const fs::path& path) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0)
            return;
        const qint64 ns = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        result.m_states.insert(FromFsPath(path), {qint64(info.st_size), ns});
        if (ns >= result.m_newestNs) {
            result.m_newestNs = ns;
            result.m_newestPath = FromFsPath(path);
        }
    };
    for (const QString& path : paths) {
        const fs::path top = ToFsPath(path);
        add(top);
        std::error_code ec;
        if (!fs::is_directory(fs::symlink_status(top, ec)))
            continue;
        for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec))
            add(it->path());
    }
    return result;
}

qint64 TFileStates::QuietForMs() const
{
    if (m_states.isEmpty())
        return std::numeric_limits<qint64>::max() / 2;
    const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
    return (nowNs - m_newestNs) / 1000000;
}

QString WaitUntilFilesSettle(const QStringList& paths, int quietMs, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    TFileStates last = TFileStates::Take(paths);
    qint64 unchangedSince = 0;   // when the states last changed, by our own clock
    for (;;) {
        if (last.QuietForMs() >= quietMs) {
            // Untouched for the quiet time by their own dates: one short look
            // to see a writer that set old times (a copy keeping them) still
            // growing.
            QThread::msleep(kConfirmMs);
            const TFileStates now = TFileStates::Take(paths);
            if (now == last)
                return {};
            last = now;
            unchangedSince = clock.elapsed();
        } else if (clock.elapsed() - unchangedSince >= quietMs) {
            // Unchanged for the quiet time as seen from here, whatever the
            // dates say (a date in the future, from a skewed clock).
            return {};
        }
        if (clock.elapsed() >= waitMs)
            return last.NewestPath();
        QThread::msleep(ulong(std::clamp<qint64>(quietMs / 10, 10, 100)));
        const TFileStates now = TFileStates::Take(paths);
        if (!(now == last)) {
            last = now;
            unchangedSince = clock.elapsed();
        }
    }
}

QString FirstLinkLeadingOutside(const QStringList& paths, const QString& folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    auto leadsOutside = [&canonicalFolder](const fs::path& link) {
        const QString target = QFileInfo(FromFsPath(link)).canonicalFilePath();
        return target.isEmpty() || canonicalFolder.isEmpty() || !IsInsideFolder(target, canonicalFolder);
    };
    for (const QString& path : paths) {
        const fs::path top = ToFsPath(path);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(top, ec);
        if (fs::is_symlink(status)) {
            if (leadsOutside(top))
                return path;
            continue;
        }
        if (!fs::is_directory(status))
            continue;
        for (fs::recursive_directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_symlink(ec) && leadsOutside(it->path()))
                return FromFsPath(it->path());
    }
    return {};
}

QStringList UnnameableItems(const QString& folder)
{
    QStringList names;
    std::error_code ec;
    for (fs::directory_iterator it(ToFsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        // A copy: the name's path is a temporary.
        const QByteArray raw = QByteArray::fromStdString(it->path().filename().native());
        const QString name = QString::fromUtf8(raw);
        if (name.toUtf8() != raw)
            names.append(name);
    }
    return names;
}
