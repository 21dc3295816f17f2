#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size()) << path.toStdString();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteIncompressibleFile(const QString& path, qint64 size, quint32 variant)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    QRandomGenerator generator(variant);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < size;) {
        generator.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        const qint64 length = std::min<qint64>(chunk.size(), size - written);
        ASSERT_EQ(f.write(chunk.constData(), length), length) << path.toStdString();
        written += length;
    }
}

bool SameContent(const QString& first, const QString& second)
{
    QProcess cmp;
    cmp.start(QStringLiteral("cmp"), {QStringLiteral("-s"), first, second});
    return cmp.waitForFinished(120000) && cmp.exitStatus() == QProcess::NormalExit && cmp.exitCode() == 0;
}

void MakeFifo(const QString& path)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0) << path.toStdString();
}

void MakeSocket(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(name.size()), sizeof(address.sun_path)) << path.toStdString();
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    // The socket's file stays after the descriptor is closed.
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    ::close(fd);
    ASSERT_EQ(bound, 0) << path.toStdString();
}

namespace {

qint64 StatusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+)\\s+kB").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

qint64 PeakMemoryGrowth(const std::function<void()>& run)
{
    // "5" sets the peak resident size back to the current one.
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (!refs.open(QIODevice::WriteOnly) || refs.write("5") != 1)
        return -1;
    refs.close();
    const qint64 start = StatusKb("VmRSS");
    run();
    const qint64 peak = StatusKb("VmHWM");
    return start < 0 || peak < 0 ? -1 : (peak - start) * 1024;
}
