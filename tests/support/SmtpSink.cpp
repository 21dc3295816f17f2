#include "SmtpSink.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QString Script()
{
    return QStringLiteral(TESSARYN_TEST_SUPPORT_DIR "/smtp_sink.py");
}

} // namespace

TSmtpSink::TSmtpSink(const QStringList& extra)
{
    m_folder = TestEnv::ScratchFolder() + QStringLiteral("/smtp-sink");
    QDir().mkpath(m_folder);
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(kPython, QStringList{Script(), QStringLiteral("serve"), m_folder} + extra);
    if (!m_server.waitForStarted(10000))
        return;
    // The server says its port once it listens.
    QByteArray out;
    while (!out.contains('\n') && m_server.waitForReadyRead(15000))
        out += m_server.readAllStandardOutput();
    if (out.startsWith("PORT "))
        m_port = out.mid(5).trimmed().toInt();
    else
        m_log = QString::fromUtf8(out + m_server.readAllStandardError());
}

TSmtpSink::~TSmtpSink()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.closeWriteChannel();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
}

QList<QJsonObject> TSmtpSink::Messages() const
{
    QList<QJsonObject> messages;
    for (int n = 1; QFile::exists(QStringLiteral("%1/%2.eml").arg(m_folder).arg(n)); ++n) {
        QString output;
        TestEnv::Run(kPython, {Script(), QStringLiteral("read"), QStringLiteral("%1/%2.eml").arg(m_folder).arg(n)},
                     &output);
        QJsonObject message = QJsonDocument::fromJson(output.toUtf8()).object();
        QFile envelope(QStringLiteral("%1/%2.json").arg(m_folder).arg(n));
        if (envelope.open(QIODevice::ReadOnly))
            message.insert(QStringLiteral("envelope"), QJsonDocument::fromJson(envelope.readAll()).object());
        messages.append(message);
    }
    return messages;
}

QByteArray TSmtpSink::Raw(int n) const
{
    QFile file(QStringLiteral("%1/%2.eml").arg(m_folder).arg(n));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int TSmtpSink::UnusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

bool TSmtpSink::MakeCertificate(const QString& folder, QString& cert, QString& key)
{
    cert = folder + QStringLiteral("/cert.pem");
    key = folder + QStringLiteral("/key.pem");
    return TestEnv::Run(QStringLiteral("openssl"),
                        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                         QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                         QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                         QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                         QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert})
           == 0;
}
