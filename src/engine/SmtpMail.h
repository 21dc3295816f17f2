#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

// One recipient or sender: the address and, when given, its display name.
struct TMailAddress {
    QString name;
    QString address;

    bool operator==(const TMailAddress&) const = default;
};

// Parses the text of a recipient box: addresses separated by "," or ";"
// (users mix both), each a bare address or "Display Name <address>", the
// name optionally in double quotes (then it may hold "," and ";"). Empty
// items are skipped. An item that is no address ("@" missing, blanks,
// characters an address cannot hold) fails the whole list with a message
// that names it, so nothing is sent to a half-understood list.
struct TAddressList {
    QList<TMailAddress> addresses;
    QString error;        // empty when the text was understood
};
TAddressList ParseAddressList(const QString& text);

// How the program reaches its SMTP server.
struct TSmtpAccount {
    enum TSecurity { None = 0, StartTls = 1, Tls = 2 };

    QString host;
    int port = 25;
    int security = None;
    QString userName;     // no authentication when empty
    QString password;
    // Certificates trusted besides the system's (a company's own authority);
    // empty: the system's list only.
    QString caFile;
    // The server must accept the connection within connectTimeoutMs; the
    // greeting, STARTTLS and the login then have greetingTimeoutMs.
    int connectTimeoutMs = 1000;
    int greetingTimeoutMs = 30000;
    // A server that accepts the connection and then sends nothing for this
    // long ends the attempt, instead of leaving the window waiting for ever.
    int stallTimeoutSeconds = 60;
};

struct TMailMessage {
    TMailAddress from;
    QList<TMailAddress> to, cc, bcc;
    QString subject;
    QString body;
    QStringList attachments;   // full paths, sent in this order
};

// The header values as they go on the wire: US-ASCII, non-ASCII text as
// RFC 2047 encoded words, attachment names as RFC 2231 parameters.
namespace MailEncoding {
// A header text: unchanged when it is printable ASCII, otherwise UTF-8
// "B" encoded words of at most 75 characters, folded onto continuation lines.
QByteArray HeaderText(const QString& text);
// "Name <address>" (the name quoted or encoded as needed), or the bare address.
QByteArray Mailbox(const TMailAddress& mailbox);
// The attachment's Content-Disposition header line.
QByteArray AttachmentDisposition(const QString& fileName);
// A Message-ID value for a message sent by sender.
QByteArray NewMessageId(const QString& senderAddress);
} // namespace MailEncoding

// Sends the message through libcurl's SMTP client, as one multipart message:
// the body as UTF-8 text, then each attachment in base64. Returns an empty
// text on success, otherwise the reason (libcurl's and the server's words).
// Blocking; cancel (when given) stops the transfer as soon as it turns true.
QString SendMail(const TSmtpAccount& account, const TMailMessage& message,
                 const std::atomic<bool>* cancel = nullptr);
