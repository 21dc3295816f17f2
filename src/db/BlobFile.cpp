#include "db/BlobFile.h"

#include "app/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kCopyChunk = 1 << 20;

QString SystemText(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

int OpenUnnamed(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder.isEmpty() ? QDir::tempPath() : folder);
    return ::open(name.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

// A file system without unnamed files: a named one, removed at once.
int OpenRemoved(const QString& folder, QString* error)
{
    QByteArray pattern = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".blob-XXXXXX")));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = SystemText(errno);
        return -1;
    }
    ::unlink(pattern.constData());
    return fd;
}

} // namespace

struct TBlobFile::TFile {
    int fd = -1;
    qint64 size = 0;
    bool unnamed = false;   // made with O_TMPFILE: can still be given a name
    ~TFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

void TBlobFile::RegisterType()
{
    // Code that asks a record set for a binary value as bytes keeps working
    // for values kept in files.
    static std::once_flag once;
    std::call_once(once, [] {
        QMetaType::registerConverter<TBlobFile, QByteArray>([](const TBlobFile& blob) { return blob.ReadAll(); });
    });
}

TBlobFile TBlobFile::OpenFile(const QString& path)
{
    RegisterType();
    auto file = std::make_shared<TFile>();
    file->fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file->fd < 0)
        throw ETessarynError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, SystemText(errno)));
    struct stat info;
    if (::fstat(file->fd, &info) != 0)
        throw ETessarynError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, SystemText(errno)));
    file->size = qint64(info.st_size);
    return TBlobFile(std::move(file));
}

TBlobFile TBlobFile::CreateSpool(const QString& folder)
{
    RegisterType();
    auto file = std::make_shared<TFile>();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        file->fd = OpenUnnamed(folder);
        file->unnamed = file->fd >= 0;
    }
    if (file->fd < 0) {
        QString error;
        const QString fallback = QFileInfo(folder).isDir() ? folder : QDir::tempPath();
        file->fd = OpenRemoved(fallback, &error);
        if (file->fd < 0)
            throw ETessarynError(QStringLiteral("A temporary file could not be made in \"%1\". %2").arg(fallback, error));
    }
    return TBlobFile(std::move(file));
}

qint64 TBlobFile::Size() const
{
    return m_file ? m_file->size : 0;
}

void TBlobFile::Append(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(m_file->fd, data, size_t(size), off_t(m_file->size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw ETessarynError(QStringLiteral("A temporary file could not be written. %1").arg(SystemText(errno)));
        }
        data += written;
        size -= written;
        m_file->size += written;
    }
}

qint64 TBlobFile::ReadAt(qint64 offset, char* buffer, qint64 size) const
{
    qint64 done = 0;
    while (m_file && done < size && offset + done < m_file->size) {
        const ssize_t read = ::pread(m_file->fd, buffer + done, size_t(std::min(size - done, m_file->size - offset - done)),
                                     off_t(offset + done));
        if (read < 0) {
            if (errno == EINTR)
                continue;
            throw ETessarynError(QStringLiteral("A stored value could not be read from its file. %1").arg(SystemText(errno)));
        }
        if (read == 0)
            break;
        done += read;
    }
    return done;
}

QByteArray TBlobFile::ReadAll() const
{
    QByteArray bytes(Size(), Qt::Uninitialized);
    bytes.resize(ReadAt(0, bytes.data(), bytes.size()));
    return bytes;
}

void TBlobFile::SaveAs(const QString& path) const
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray target = QFile::encodeName(path);
    // A name in the same folder first, then one rename over path: whoever
    // looks at path sees the old file or the whole new one.
    QByteArray partial = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".%1.XXXXXX").arg(QFileInfo(path).fileName())));
    if (m_file && m_file->unnamed) {
        // The spool file becomes the file: no byte is copied.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_file->fd);
        for (int attempt = 0; attempt < 8; ++attempt) {
            QByteArray name = partial;
            const int fd = ::mkostemp(name.data(), O_CLOEXEC);   // only to pick a free name
            if (fd < 0)
                break;
            ::close(fd);
            ::unlink(name.constData());
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                if (::rename(name.constData(), target.constData()) == 0)
                    return;
                const int error = errno;
                ::unlink(name.constData());
                throw ETessarynError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, SystemText(error)));
            }
            if (errno != EEXIST)
                break;   // another file system, or no links: copy instead
        }
    }

    const int out = ::mkostemp(partial.data(), O_CLOEXEC);
    if (out < 0)
        throw ETessarynError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, SystemText(errno)));
    const auto fail = [&](int error) {
        ::close(out);
        ::unlink(partial.constData());
        throw ETessarynError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, SystemText(error)));
    };
    QByteArray buffer(kCopyChunk, Qt::Uninitialized);
    for (qint64 offset = 0; offset < Size();) {
        const qint64 read = ReadAt(offset, buffer.data(), buffer.size());
        if (read <= 0)
            fail(EIO);
        for (qint64 done = 0; done < read;) {
            const ssize_t written = ::write(out, buffer.constData() + done, size_t(read - done));
            if (written < 0 && errno != EINTR)
                fail(errno);
            if (written > 0)
                done += written;
        }
        offset += read;
    }
    if (::close(out) != 0) {
        const int error = errno;
        ::unlink(partial.constData());
        throw ETessarynError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, SystemText(error)));
    }
    if (::rename(partial.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(partial.constData());
        throw ETessarynError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, SystemText(error)));
    }
}

bool TBlobFile::Holds(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<TBlobFile>();
}

qint64 TBlobFile::ValueSize(const QVariant& value)
{
    if (Holds(value))
        return value.value<TBlobFile>().Size();
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray().size();
    return -1;
}
