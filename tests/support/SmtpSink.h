#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// A real SMTP server on a free loopback port (Debian's aiosmtpd, run by
// smtp_sink.py) for the life of the object. Messages() reads what it
// received back through Python's email package, which decodes the headers
// and attachments as a mail reader would.
class TSmtpSink {
public:
    // extra: "--starttls CERT KEY", "--auth USER PASS", "--reject ADDRESS".
    explicit TSmtpSink(const QStringList& extra = {});
    ~TSmtpSink();
    TSmtpSink(const TSmtpSink&) = delete;
    TSmtpSink& operator=(const TSmtpSink&) = delete;

    bool Started() const { return m_port > 0; }
    int Port() const { return m_port; }
    QString Log() const { return m_log; }

    // Each received message decoded: "headers", "body", "attachments"
    // ([{name, type, data (base64)}]), plus "envelope" ({from, to, tls, login}).
    QList<QJsonObject> Messages() const;
    // The raw text of message n (1-based) as it arrived.
    QByteArray Raw(int n) const;

    // A port on which nothing listens.
    static int UnusedPort();
    // A throwaway self-signed certificate and key for "localhost"/127.0.0.1 in folder.
    static bool MakeCertificate(const QString& folder, QString& cert, QString& key);

private:
    QString m_folder;
    QProcess m_server;
    int m_port = 0;
    QString m_log;
};
