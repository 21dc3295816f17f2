#include "engine/FileHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path ToFsPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString FromFsPath(const fs::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

// Status of the entry itself; a link is a link, not what it points to.
fs::file_status EntryStatus(const fs::path& path)
{
    std::error_code ec;
    return fs::symlink_status(path, ec);
}

bool EntryExists(const fs::path& path)
{
    return fs::exists(EntryStatus(path));
}

bool IsRealFolder(const fs::path& path)
{
    return fs::is_directory(EntryStatus(path));
}

// The entries of one folder sorted by name, so that walks are repeatable.
// Empty optional when the folder cannot be read.
std::optional<std::vector<fs::directory_entry>> FolderEntries(const fs::path& folder)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return std::nullopt;
    std::vector<fs::directory_entry> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return std::nullopt;
        entries.push_back(*it);
    }
    if (ec)
        return std::nullopt;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename() < b.path().filename();
    });
    return entries;
}

bool HasWildcard(const QString& name)
{
    return name.contains(u'*') || name.contains(u'?');
}

// Matches a whole name against "*" and "?"; "*.*" takes every name, with or
// without a dot, as the patterns of the folder operations always meant it.
bool MatchesPattern(const QString& name, const QString& pattern)
{
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    QString expression;
    for (const QChar c : pattern) {
        if (c == u'*')
            expression += u".*";
        else if (c == u'?')
            expression += u'.';
        else
            expression += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression re(QRegularExpression::anchoredPattern(expression));
    return re.match(name).hasMatch();
}

// The entries a path stands for: itself, or every entry of its folder that
// matches the wildcard pattern of its last part. Empty optional when the
// pattern's folder cannot be read.
std::optional<std::vector<fs::path>> ExpandPath(const QString& path)
{
    const QString plain = ExcludeTrailingBackslash(path);
    const int slash = plain.lastIndexOf(u'/');
    const QString name = plain.mid(slash + 1);
    if (!HasWildcard(name))
        return std::vector<fs::path>{ToFsPath(plain)};

    const QString folder = slash < 0 ? QStringLiteral(".") : plain.left(slash + 1);
    const auto entries = FolderEntries(ToFsPath(folder));
    if (!entries)
        return std::nullopt;
    std::vector<fs::path> matches;
    for (const auto& entry : *entries) {
        if (MatchesPattern(FromFsPath(entry.path().filename()), name))
            matches.push_back(entry.path());
    }
    return matches;
}

bool RemoveEntry(const fs::path& path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
    return !ec;
}

// Copies a file, a link or a folder with its content to target, which must
// not exist yet. Goes on after a failed entry so that as much as possible
// arrives, and reports whether everything did.
bool CopyEntry(const fs::path& from, const fs::path& target)
{
    std::error_code ec;
    const fs::file_status status = EntryStatus(from);
    if (fs::is_symlink(status)) {
        fs::copy_symlink(from, target, ec);
        return !ec;
    }
    if (fs::is_directory(status)) {
        if (!fs::create_directory(target, from, ec) || ec)
            return false;
        const auto entries = FolderEntries(from);
        if (!entries)
            return false;
        bool ok = true;
        for (const auto& entry : *entries)
            ok = CopyEntry(entry.path(), target / entry.path().filename()) && ok;
        return ok;
    }
    if (!fs::copy_file(from, target, fs::copy_options::none, ec) || ec)
        return false;
    // A copy keeps its file's last-write time, as the desktop's copy does;
    // folder refreshes compare these times.
    const auto written = fs::last_write_time(from, ec);
    if (!ec)
        fs::last_write_time(target, written, ec);
    return true;
}

// True when both paths name the same entry of the same folder (links in the
// entries themselves are not followed).
bool SameEntry(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    const fs::path folderA = fs::weakly_canonical(a.parent_path().empty() ? "." : a.parent_path(), ec);
    if (ec)
        return false;
    const fs::path folderB = fs::weakly_canonical(b.parent_path().empty() ? "." : b.parent_path(), ec);
    return !ec && folderA == folderB && a.filename() == b.filename();
}

// True when candidate is folder or lies below it.
bool IsSameOrBelow(const fs::path& candidate, const fs::path& folder)
{
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder, ec);
    if (ec)
        return false;
    const fs::path probe = fs::weakly_canonical(candidate, ec);
    if (ec)
        return false;
    auto b = base.begin();
    auto p = probe.begin();
    for (; b != base.end(); ++b, ++p) {
        if (p == probe.end() || *p != *b)
            return false;
    }
    return true;
}

enum class TTransfer { Copy, Move };

// One entry to its place: see ShellCopy / ShellMove for where that is.
bool TransferEntry(const fs::path& from, const QString& to, bool intoFolder, TTransfer how)
{
    const fs::file_status status = EntryStatus(from);
    if (!fs::exists(status))
        return false;
    const bool isFolder = fs::is_directory(status);

    const QString targetText = intoFolder ? QString(IncludeTrailingBackslash(to) + FromFsPath(from.filename()))
                                          : ExcludeTrailingBackslash(to);
    // A folder cannot go into its own subtree: the copy would never end.
    if (isFolder && IsSameOrBelow(ToFsPath(targetText), from))
        return false;
    // Moving an entry onto itself changes nothing; a copy onto itself is a
    // copy under a new name.
    if (how == TTransfer::Move && SameEntry(from, ToFsPath(targetText)))
        return true;

    std::error_code ec;
    const fs::path parent = ToFsPath(targetText).parent_path();
    if (!parent.empty())
        fs::create_directories(parent, ec);
    const fs::path target = ToFsPath(UniqueTargetPath(targetText, isFolder));

    if (how == TTransfer::Copy)
        return CopyEntry(from, target);

    fs::rename(from, target, ec);
    if (!ec)
        return true;
    if (ec != std::errc::cross_device_link)
        return false;
    // Another file system: copy, and give up the source only when all of it arrived.
    if (!CopyEntry(from, target))
        return false;
    return RemoveEntry(from);
}

bool Transfer(const QString& from, const QString& to, TTransfer how)
{
    if (from.isEmpty() || to.isEmpty())
        return false;
    const QString plain = ExcludeTrailingBackslash(from);
    const bool pattern = HasWildcard(plain.mid(plain.lastIndexOf(u'/') + 1));
    const auto sources = ExpandPath(from);
    if (!sources)
        return false;

    std::error_code ec;
    const bool intoFolder = pattern || to.endsWith(u'/') || fs::is_directory(ToFsPath(to), ec);
    bool ok = true;
    for (const fs::path& source : *sources)
        ok = TransferEntry(source, to, intoFolder, how) && ok;
    return ok;
}

void CollectFoldersBelow(const fs::path& folder, std::vector<fs::path>& folders)
{
    const auto entries = FolderEntries(folder);
    if (!entries)
        return;
    for (const auto& entry : *entries) {
        if (IsRealFolder(entry.path()))
            folders.push_back(entry.path());
    }
}

bool ListFolder(const fs::path& folder, const QString& folderText, const QString& filter,
                int attributeMask, bool recurse, bool includeFolders, bool fullPaths,
                QStringList& list)
{
    const auto entries = FolderEntries(folder);
    if (!entries)
        return true;
    for (const auto& entry : *entries) {
        const QString name = FromFsPath(entry.path().filename());
        const QString fullPath = folderText + name;
        std::error_code ec;
        if (entry.is_directory(ec)) {
            if (!recurse)
                continue;
            if (includeFolders)
                list.append(fullPaths ? fullPath : name);
            // A link to a folder is listed as a folder but not entered: it
            // may lead back up the tree.
            if (!entry.is_symlink(ec)
                && ListFolder(entry.path(), fullPath + u'/', filter, attributeMask, recurse,
                              includeFolders, fullPaths, list))
                return true;
            continue;
        }
        const int attributes = name.startsWith(u'.') ? faHidden : faNormal;
        if ((attributes & attributeMask) == 0)
            continue;
        if (!filter.isEmpty() && !name.toLower().contains(filter))
            continue;
        list.append(fullPaths ? fullPath : name);
    }
    return false;
}

} // namespace

QString IncludeTrailingBackslash(const QString& path)
{
    if (path.endsWith(u'/'))
        return path;
    return path + u'/';
}

QString ExcludeTrailingBackslash(const QString& path)
{
    if (path.endsWith(u'/') && path.size() > 1)
        return path.left(path.size() - 1);
    return path;
}

bool IsHtmlPage(const QString& name)
{
    return name.endsWith(u".htm", Qt::CaseInsensitive) || name.endsWith(u".html", Qt::CaseInsensitive);
}

QString CompanionFolderName(const QString& name)
{
    if (name.endsWith(u".htm", Qt::CaseInsensitive))
        return name.left(name.size() - 4) + u"_files";
    if (name.endsWith(u".html", Qt::CaseInsensitive))
        return name.left(name.size() - 5) + u"_files";
    return QString();
}

QString HtmlBaseName(const QString& name)
{
    const QString fileName = name.mid(name.lastIndexOf(u'/') + 1);
    const int dot = fileName.indexOf(u'.');
    if (dot < 0)
        return name;
    return fileName.left(dot).toUpper();
}

qint64 FileSizeOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return 0;
    return info.size();
}

qint64 FolderSize(const QString& path)
{
    std::error_code ec;
    fs::recursive_directory_iterator it(ToFsPath(path), fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return 0;
    qint64 total = 0;
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::error_code entryError;
        if (it->is_regular_file(entryError)) {
            const auto size = it->file_size(entryError);
            if (!entryError)
                total += qint64(size);
        }
    }
    return total;
}

bool IsFolderEmpty(const QString& path)
{
    return FolderSize(path) == 0;
}

void DeleteFilesOlderThan(const QString& path, const QDateTime& moment)
{
    // Collected first, deleted afterwards: the walk is not disturbed by its own deletions.
    QStringList files;
    ListFiles(path, QString(), faAnyFile, true, true, false, true, files);
    for (const QString& file : std::as_const(files)) {
        const QDateTime written = QFileInfo(file).lastModified();
        if (written.isValid() && written < moment)
            QFile::remove(file);
    }
}

void DeleteEmptySubfolders(const QString& path)
{
    std::vector<fs::path> folders;
    CollectFoldersBelow(ToFsPath(path), folders);
    for (const fs::path& folder : folders) {
        const QString folderText = FromFsPath(folder);
        DeleteEmptySubfolders(folderText);
        if (IsFolderEmpty(folderText))
            RemoveEntry(folder);
    }
}

bool ListFiles(const QString& path, const QString& filter, int attributeMask, bool clear,
               bool recurse, bool includeFolders, bool fullPaths, QStringList& list)
{
    if (clear)
        list.clear();
    const QString folder = IncludeTrailingBackslash(path);
    return ListFolder(ToFsPath(folder), folder, filter.toLower(), attributeMask, recurse,
                      includeFolders, fullPaths, list);
}

bool ShellDelete(const QString& path, bool confirm, bool silent, bool allowUndo)
{
    Q_UNUSED(confirm);
    Q_UNUSED(silent);
    Q_UNUSED(allowUndo);
    if (path.isEmpty() || ExcludeTrailingBackslash(path) == u"/")
        return false;
    const auto targets = ExpandPath(path);
    if (!targets)
        return false;
    bool ok = true;
    for (const fs::path& target : *targets) {
        if (!EntryExists(target) || !RemoveEntry(target))
            ok = false;
    }
    return ok;
}

bool ShellRename(const QString& from, const QString& to)
{
    const fs::path source = ToFsPath(ExcludeTrailingBackslash(from));
    const fs::path target = ToFsPath(ExcludeTrailingBackslash(to));
    if (from.isEmpty() || to.isEmpty() || !EntryExists(source))
        return false;
    if (source == target)
        return true;
    if (EntryExists(target))
        return false;
    std::error_code ec;
    fs::rename(source, target, ec);
    return !ec;
}

bool ShellMove(const QString& from, const QString& to)
{
    return Transfer(from, to, TTransfer::Move);
}

bool ShellCopy(const QString& from, const QString& to)
{
    return Transfer(from, to, TTransfer::Copy);
}

QString UniqueTargetPath(const QString& path, bool isFolder)
{
    if (!EntryExists(ToFsPath(path)))
        return path;
    const int slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const int dot = isFolder ? -1 : name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = folder + base + QStringLiteral(" (%1)").arg(n) + extension;
        if (!EntryExists(ToFsPath(candidate)))
            return candidate;
    }
}

QString VersionText(bool shortForm)
{
#if defined(TESSARYN_VERSION_MAJOR) && defined(TESSARYN_VERSION_MINOR) && defined(TESSARYN_VERSION_PATCH)
    if (shortForm)
        return QString::asprintf("%d.%d", TESSARYN_VERSION_MAJOR, TESSARYN_VERSION_MINOR);
    return QString::asprintf("%d.%d.%d.%d", TESSARYN_VERSION_MAJOR, TESSARYN_VERSION_MINOR,
                             TESSARYN_VERSION_PATCH, 0);
#else
    Q_UNUSED(shortForm);
    return QString();
#endif
}

QString CodesToCommaText(const QList<int>& codes)
{
    QStringList texts;
    texts.reserve(codes.size());
    for (const int code : codes)
        texts.append(QString::number(code));
    return texts.join(u',');
}

void CommaTextToCodes(const QString& text, QList<int>& codes)
{
    codes.clear();
    if (text.trimmed().isEmpty())
        return;
    const QStringList elements = text.split(u',');
    for (QString element : elements) {
        element = element.trimmed();
        if (element.size() >= 2 && element.startsWith(u'"') && element.endsWith(u'"'))
            element = element.mid(1, element.size() - 2).trimmed();
        bool ok = false;
        const int code = element.toInt(&ok, 10);
        if (ok)
            codes.append(code);
    }
}

QString NewGuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString FormatFileSize(qint64 size)
{
    if (size > 1023) {
        QString number = QString::number(double(size) / 1024.0, 'f', 1);
        number.replace(u'.', QLocale().decimalPoint());
        return number + u" Kb";
    }
    return QString::number(size) + u" bytes";
}

QString TimeStampText()
{
    return TimeStampText(QDateTime::currentDateTime());
}

QString TimeStampText(const QDateTime& moment)
{
    const QDateTime local = moment.toLocalTime();
    const QDate date = local.date();
    const QTime time = local.time();
    return QString::asprintf("%.4d%.2d%.2d_%.2d%.2d%.2d%.3d", date.year(), date.month(), date.day(),
                             time.hour(), time.minute(), time.second(), time.msec());
}
