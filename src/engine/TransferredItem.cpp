#include "engine/TransferredItem.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString Shown(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

bool TTransferredItem::TStamp::operator==(const TStamp& other) const
{
    return removable && other.removable && size == other.size && modifiedNs == other.modifiedNs
           && device == other.device && inode == other.inode;
}

TTransferredItem::TTransferredItem(const QString& folder, const QString& name) : m_name(name)
{
    m_files = Scan(folder);
}

TTransferredItem::TStamps TTransferredItem::Scan(const QString& folder) const
{
    TStamps stamps;
    const std::string base = Native(folder);
    const std::string name = Native(m_name);
    const auto add = [&stamps, &base](const std::string& relative) -> bool {
        struct stat info {};
        if (::lstat((base + relative).c_str(), &info) != 0)
            return false;
        if (S_ISDIR(info.st_mode))
            return true;
        TStamp stamp;
        stamp.size = qint64(info.st_size);
        stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamp.device = quint64(info.st_dev);
        stamp.inode = quint64(info.st_ino);
        stamp.removable = S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
        stamps[relative] = stamp;
        return false;
    };
    if (!add(name))
        return stamps;
    // A folder: every entry below it, links not followed.
    std::error_code ec;
    fs::recursive_directory_iterator it(fs::path(base + name), fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        add(name + '/' + it->path().lexically_relative(fs::path(base + name)).native());
    return stamps;
}

QStringList TTransferredItem::Unchanged(const QString& folder) const
{
    QStringList paths;
    for (const auto& [path, stamp] : Scan(folder)) {
        const auto recorded = m_files.find(path);
        if (recorded != m_files.end() && recorded->second == stamp)
            paths.append(Shown(path));
    }
    return paths;
}

bool TTransferredItem::IsUnchanged(const QString& folder) const
{
    return Scan(folder) == m_files;
}

QStringList TTransferredItem::RemoveUnchanged(const QString& folder) const
{
    return RemoveWhere(folder, [this](const std::string& path, const TStamp& stamp) {
        const auto recorded = m_files.find(path);
        return recorded != m_files.end() && recorded->second == stamp;
    });
}

QStringList TTransferredItem::RemovePaths(const QString& folder, const QStringList& paths) const
{
    QSet<QString> wanted(paths.begin(), paths.end());
    return RemoveWhere(folder,
                       [&wanted](const std::string& path, const TStamp&) { return wanted.contains(Shown(path)); });
}

QStringList TTransferredItem::RemoveWhere(const QString& folder,
                                          const std::function<bool(const std::string&, const TStamp&)>& remove) const
{
    const std::string base = Native(folder);
    QStringList kept;
    for (const auto& [path, stamp] : Scan(folder)) {
        if (!stamp.removable || !remove(path, stamp) || ::unlink((base + path).c_str()) != 0)
            kept.append(Shown(path));
    }
    // The folders the removal emptied go as well, the deepest first; a folder
    // that still holds anything stays.
    const fs::path root(base + Native(m_name));
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(root, ec)))
        return kept;
    std::vector<fs::path> folders;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code kind;
        if (fs::is_directory(it->symlink_status(kind)))
            folders.push_back(it->path());
    }
    std::sort(folders.begin(), folders.end(),
              [](const fs::path& a, const fs::path& b) { return a.native().size() > b.native().size(); });
    folders.push_back(root);
    for (const fs::path& path : folders)
        ::rmdir(path.c_str());
    return kept;
}
