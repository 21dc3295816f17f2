#include "settings/MailPassword.h"

#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace MailPassword {

namespace {

const QString kService = QStringLiteral("Tessaryn");

// The store answers asynchronously; the callers need the answer before they
// go on, so wait for it here.
void Run(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString Reason(const QKeychain::Job& job)
{
    return QStringLiteral("The password could not be kept in the desktop's secret store: %1").arg(job.errorString());
}

} // namespace

QString Key(const QString& userName, const QString& host, int port)
{
    return QStringLiteral("smtp://%1@%2:%3").arg(userName.trimmed(), host.trimmed()).arg(port);
}

QString Write(const QString& key, const QString& password)
{
    QKeychain::WritePasswordJob job(kService);
    job.setInsecureFallback(false);
    job.setKey(key);
    job.setTextData(password);
    Run(job);
    return job.error() == QKeychain::NoError ? QString() : Reason(job);
}

QString Remove(const QString& key)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setInsecureFallback(false);
    job.setKey(key);
    Run(job);
    return job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound ? QString() : Reason(job);
}

std::optional<QString> Read(const QString& key, QString* error)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setInsecureFallback(false);
    job.setKey(key);
    Run(job);
    if (job.error() == QKeychain::EntryNotFound)
        return QString();
    if (job.error() != QKeychain::NoError) {
        if (error)
            *error = QStringLiteral("The password could not be read from the desktop's secret store: %1")
                         .arg(job.errorString());
        return std::nullopt;
    }
    return job.textData();
}

} // namespace MailPassword
