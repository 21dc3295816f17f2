#include "engine/StableFiles.h"

#include "app/IDesktop.h"
#include "engine/EntryItem.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
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

namespace {

// What keeps an item of the monitored folder from being stored: the thing
// at or below it (its path from the folder) and why.
struct TStop {
    QString where;
    QString reason;
};

std::optional<TStop> FindStop(const fs::path& path, const QString& where, const QString& canonicalFolder)
{
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    if (ec || !fs::exists(own))
        return std::nullopt;   // gone meanwhile: the transfer tells of it
    if (fs::is_symlink(own)) {
        const QString target = QFileInfo(FromFsPath(path)).canonicalFilePath();
        if (target.isEmpty())
            return TStop{where, QStringLiteral("a link that leads nowhere")};
        if (canonicalFolder.isEmpty() || !IsInsideFolder(target, canonicalFolder))
            return TStop{where, QStringLiteral("a link to a place outside the monitored folder")};
        if (!fs::is_regular_file(fs::status(path, ec)))
            return TStop{where, QStringLiteral("a link to something that is not a file")};
        return std::nullopt;
    }
    if (fs::is_regular_file(own))
        return std::nullopt;
    if (!fs::is_directory(own))
        return TStop{where, QStringLiteral("not a file (a pipe, a socket or a device)")};
    fs::directory_iterator it(path, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const QByteArray bytes = QByteArray::fromStdString(it->path().filename().native());
        const QString name = QString::fromUtf8(bytes);
        if (name.toUtf8() != bytes)
            return TStop{where + u'/' + ReadableFileName(bytes),
                         QStringLiteral("a name that is not valid text (UTF-8); rename it to store it")};
        if (auto stop = FindStop(it->path(), where + u'/' + name, canonicalFolder))
            return stop;
    }
    if (ec)
        return TStop{where, QStringLiteral("a folder that cannot be read")};
    return std::nullopt;
}

} // namespace

QString WhyItemStays(const QString& folder, const QString& name)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const std::optional<TStop> stop = FindStop(ToFsPath(IncludeTrailingBackslash(folder) + name), name, canonicalFolder);
    if (!stop)
        return {};
    if (stop->where == name)
        return QStringLiteral("\"%1\": %2").arg(name, stop->reason);
    return QStringLiteral("\"%1\": %2; the folder \"%3\" stays with it").arg(stop->where, stop->reason, name);
}

QString ReadableFileName(const QByteArray& name)
{
    QString text;
    for (qsizetype i = 0; i < name.size();) {
        const uchar lead = uchar(name[i]);
        const int length = lead < 0x80                  ? 1
                           : lead >= 0xC2 && lead <= 0xDF ? 2
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                          : 0;
        const bool plain = length > 1 || (length == 1 && lead >= 0x20 && lead != 0x7F && lead != '\\');
        if (plain && i + length <= name.size()) {
            // A sequence is valid when it decodes and encodes to itself
            // (no overlong forms, no surrogates, nothing beyond U+10FFFF).
            const QByteArray sequence = name.mid(i, length);
            const QString decoded = QString::fromUtf8(sequence);
            if (decoded.toUtf8() == sequence) {
                text += decoded;
                i += length;
                continue;
            }
        }
        text += lead == '\\' ? QStringLiteral("\\\\")
                              : QStringLiteral("\\x") + QStringLiteral("%1").arg(lead, 2, 16, QLatin1Char('0')).toUpper();
        ++i;
    }
    return text;
}

QStringList UnnameableItems(const QString& folder)
{
    QStringList names;
    std::error_code ec;
    for (fs::directory_iterator it(ToFsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        // A copy: the name's path is a temporary.
        const QByteArray raw = QByteArray::fromStdString(it->path().filename().native());
        if (QString::fromUtf8(raw).toUtf8() != raw)
            names.append(ReadableFileName(raw));
    }
    return names;
}

bool HoldBackUnstorableItems(TFolderFiles& list, IDesktop& desktop, THoldBack naming)
{
    const QString folder = list.FolderPath();
    QStringList lines;
    for (int index = 0; index < list.Count(); ++index) {
        const bool marked = list.IsSelected(index);
        if (!marked && naming != THoldBack::NameAll)
            continue;
        const QString line = WhyItemStays(folder, list.Items(index)->Name());
        if (line.isEmpty())
            continue;
        if (marked)
            list.SetSelected(index, false);
        lines << line;
    }
    if (naming == THoldBack::Silently)
        return list.SelectedCount() > 0;
    for (const QString& name : UnnameableItems(folder))
        lines << QStringLiteral("\"%1\": a name that is not valid text (UTF-8); rename it to store it").arg(name);
    if (!lines.isEmpty())
        desktop.ShowMessage(QStringLiteral("These items of the monitored folder cannot be stored; they stay where they "
                                           "are:\r\n%1")
                                .arg(lines.join(QStringLiteral("\r\n"))),
                            IDesktop::TMsgKind::Warning);
    return list.SelectedCount() > 0;
}
