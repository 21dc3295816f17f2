#include "TestEnv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir>& Root()
{
    static std::unique_ptr<QTemporaryDir> root;
    return root;
}

int g_scratchCounter = 0;

} // namespace

namespace TestEnv {

void Initialize()
{
    auto& root = Root();
    root = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tessaryn-test-XXXXXX"));
    // To look at what a test wrote (an exported page, a mailed archive).
    if (qEnvironmentVariableIsSet("TESSARYN_KEEP_TEST_FILES")) {
        root->setAutoRemove(false);
        fprintf(stderr, "test files kept in %s\n", qPrintable(root->path()));
    }
    const QString base = root->path();
    for (const char* sub : {"home", "config", "runtime", "scratch"})
        QDir().mkpath(base + QLatin1Char('/') + QString::fromLatin1(sub));
    QFile::setPermissions(base + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("TESSARYN_HOME", (base + QStringLiteral("/home")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (base + QStringLiteral("/runtime")).toUtf8());
}

QString HomeFolder()
{
    return QString::fromUtf8(qgetenv("TESSARYN_HOME")) + QLatin1Char('/');
}

QString ScratchFolder()
{
    const QString path = Root()->path() + QStringLiteral("/scratch/%1").arg(++g_scratchCounter);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path + QLatin1Char('/');
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

int Run(const QString& program, const QStringList& arguments, QString* output, const QString& workingFolder,
        int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return -1;
    process.waitForFinished(timeoutMs);
    if (output)
        *output += QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TScopedTmpfs::TScopedTmpfs(const QString& folder, const QString& size) : m_folder(folder)
{
    QDir().mkpath(folder);
    m_mounted = Run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=") + size, QStringLiteral("tmpfs"), folder})
                == 0;
}

TScopedTmpfs::~TScopedTmpfs()
{
    if (m_mounted)
        Run(QStringLiteral("umount"), {m_folder});
}

bool TScopedTmpfs::RemountReadOnly()
{
    return m_mounted
           && Run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_folder}) == 0;
}

} // namespace TestEnv
