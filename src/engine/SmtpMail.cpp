#include "engine/SmtpMail.h"

#include "app/Logging.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

// --- addresses -------------------------------------------------------------------------

namespace {

// What an address may hold: printable ASCII without blanks, quotes, angle
// brackets or separators, one "@" with something on both sides.
bool IsAddress(const QString& address)
{
    const int at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || at != address.lastIndexOf(QLatin1Char('@')) || at == address.size() - 1)
        return false;
    for (const QChar c : address) {
        const ushort u = c.unicode();
        if (u <= 0x20 || u >= 0x7F || QStringLiteral("\"<>(),;:[]\\").contains(c))
            return false;
    }
    return true;
}

QString InvalidAddressText(const QString& text)
{
    return QStringLiteral("\"%1\" is not a valid e-mail address.").arg(text);
}

// One item of the list, without its separator.
std::optional<TMailAddress> ParseMailbox(const QString& item)
{
    const QString text = item.trimmed();
    const int open = text.lastIndexOf(QLatin1Char('<'));
    if (open < 0)
        return IsAddress(text) ? std::optional(TMailAddress{QString(), text}) : std::nullopt;
    if (!text.endsWith(QLatin1Char('>')))
        return std::nullopt;
    TMailAddress mailbox;
    mailbox.address = text.mid(open + 1, text.size() - open - 2).trimmed();
    QString name = text.left(open).trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        QString unquoted;
        for (int i = 1; i < name.size() - 1; ++i) {
            if (name[i] == QLatin1Char('\\') && i + 1 < name.size() - 1)
                ++i;
            unquoted += name[i];
        }
        name = unquoted;
    }
    mailbox.name = name;
    if (!IsAddress(mailbox.address))
        return std::nullopt;
    return mailbox;
}

} // namespace

TAddressList ParseAddressList(const QString& text)
{
    TAddressList result;
    QStringList items;
    QString current;
    bool quoted = false, angled = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == QLatin1Char('\\') && i + 1 < text.size()) {
            current += c;
            current += text[++i];
            continue;
        }
        if (c == QLatin1Char('"') && !angled)
            quoted = !quoted;
        else if (c == QLatin1Char('<') && !quoted)
            angled = true;
        else if (c == QLatin1Char('>') && !quoted)
            angled = false;
        else if ((c == QLatin1Char(',') || c == QLatin1Char(';')) && !quoted && !angled) {
            items.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    items.append(current);
    for (const QString& item : items) {
        if (item.trimmed().isEmpty())
            continue;
        const std::optional<TMailAddress> mailbox = ParseMailbox(item);
        if (!mailbox) {
            result.addresses.clear();
            result.error = InvalidAddressText(item.trimmed());
            return result;
        }
        result.addresses.append(*mailbox);
    }
    return result;
}

// --- header encoding -------------------------------------------------------------------

namespace MailEncoding {

namespace {

bool IsPlainAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
            return false;
    return true;
}

// Line breaks and other control characters in a header value would end the
// header (or start a new one): they become blanks.
QString OneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return line;
}

} // namespace

QByteArray HeaderText(const QString& text)
{
    const QString line = OneLine(text);
    // Text that looks like an encoded word is encoded too, so that a reader
    // shows what was typed and not its decoding.
    if (IsPlainAscii(line) && !line.contains(QLatin1String("=?")))
        return line.toLatin1();
    // 45 bytes give 60 base64 characters: with "=?UTF-8?B?" and "?=" 72, under
    // the 75 an encoded word may take. A character is never split.
    QByteArray result;
    QByteArray chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!result.isEmpty())
            result += "\r\n ";
        result += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (int i = 0; i < line.size(); ++i) {
        QString character(line[i]);
        if (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate())
            character += line[++i];
        const QByteArray bytes = character.toUtf8();
        if (chunk.size() + bytes.size() > 45)
            flush();
        chunk += bytes;
    }
    flush();
    return result;
}

QByteArray Mailbox(const TMailAddress& mailbox)
{
    const QByteArray address = mailbox.address.toLatin1();
    const QString name = OneLine(mailbox.name).trimmed();
    if (name.isEmpty())
        return address;
    QByteArray shown;
    if (IsPlainAscii(name) && !name.contains(QLatin1String("=?"))) {
        QByteArray quoted = name.toLatin1();
        quoted.replace('\\', "\\\\").replace('"', "\\\"");
        shown = '"' + quoted + '"';
    } else {
        shown = HeaderText(name);
    }
    return shown + " <" + address + '>';
}

QByteArray AttachmentDisposition(const QString& fileName)
{
    const QString name = OneLine(fileName);
    if (IsPlainAscii(name) && !name.contains(QLatin1Char('"')) && !name.contains(QLatin1Char('\\')))
        return "Content-Disposition: attachment; filename=\"" + name.toLatin1() + '"';
    // RFC 2231: the UTF-8 bytes percent-encoded, cut into numbered pieces so
    // that no line grows past what mail servers accept; a piece never ends
    // inside a "%XX".
    const QByteArray encoded = name.toUtf8().toPercentEncoding(QByteArray("!#$&+-.^_`|~"));
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at < encoded.size();) {
        qsizetype length = std::min<qsizetype>(50, encoded.size() - at);
        if (at + length < encoded.size()) {
            if (encoded[at + length - 1] == '%')
                length -= 1;
            else if (length >= 2 && encoded[at + length - 2] == '%')
                length -= 2;
        }
        pieces.append(encoded.mid(at, length));
        at += length;
    }
    QByteArray header = "Content-Disposition: attachment";
    if (pieces.size() == 1)
        return header + "; filename*=UTF-8''" + pieces.first();
    for (int i = 0; i < pieces.size(); ++i)
        header += ";\r\n filename*" + QByteArray::number(i) + "*=" + (i == 0 ? "UTF-8''" : "") + pieces[i];
    return header;
}

QByteArray NewMessageId(const QString& senderAddress)
{
    QString domain = senderAddress.section(QLatin1Char('@'), 1);
    if (domain.isEmpty() || !IsAddress(QStringLiteral("x@") + domain))
        domain = QStringLiteral("tessaryn.invalid");
    return '<' + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + domain.toLatin1() + '>';
}

} // namespace MailEncoding

// --- sending ---------------------------------------------------------------------------

namespace {

struct TCurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

class TSlist {
public:
    void Append(const QByteArray& line) { m_list.reset(curl_slist_append(m_list.release(), line.constData())); }
    curl_slist* Get() const { return m_list.get(); }

private:
    std::unique_ptr<curl_slist, TCurlDeleter> m_list;
};

int CancelCheck(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* flag = static_cast<const std::atomic<bool>*>(cancel);
    return flag && flag->load() ? 1 : 0;
}

// libcurl counts the SMTP greeting, STARTTLS and the login into its connect
// time-out, so one second there would fail a slow TLS handshake. The server
// has to accept the connection itself within the time-out; that is done here,
// and curl is handed the connected socket.
struct TConnectContext {
    int timeoutMs = 1000;
    int error = 0;
};

curl_socket_t OpenConnected(void* context, curlsocktype, curl_sockaddr* address)
{
    auto* connect = static_cast<TConnectContext*>(context);
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address->protocol);
    if (fd < 0) {
        connect->error = errno;
        return CURL_SOCKET_BAD;
    }
    int error = 0;
    if (::connect(fd, &address->addr, address->addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, connect->timeoutMs);
            socklen_t length = sizeof error;
            if (ready == 1)
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            else
                error = ready == 0 ? ETIMEDOUT : errno;
        }
    }
    if (error != 0) {
        connect->error = error;
        ::close(fd);
        return CURL_SOCKET_BAD;
    }
    return fd;
}

int AlreadyConnected(void*, curl_socket_t, curlsocktype)
{
    return CURL_SOCKOPT_ALREADY_CONNECTED;
}

// Where the conversation with the server stood: its last reply line, to say
// in its own words why it refused, and the last command sent.
struct TDialogue {
    QByteArray lastReply;
    QByteArray firstRefusal;   // the first reply of class 4 or 5
    QByteArray lastCommand;
};

QByteArray CommandVerb(const QByteArray& line)
{
    const qsizetype blank = line.indexOf(' ');
    return line.left(blank < 0 ? line.size() : blank).toUpper();
}

int KeepDialogue(CURL*, curl_infotype type, char* data, size_t size, void* context)
{
    auto* dialogue = static_cast<TDialogue*>(context);
    if (type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT) {
        const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (!line.isEmpty()) {
            if (type == CURLINFO_HEADER_IN) {
                dialogue->lastReply = line;
                if (dialogue->firstRefusal.isEmpty() && (line.startsWith('4') || line.startsWith('5')))
                    dialogue->firstRefusal = line;
            } else {
                dialogue->lastCommand = CommandVerb(line);
            }
        }
    }
    // The dialogue with the server, for a user whose mail does not go out.
    // The credentials of a log-in never reach the log; message data neither.
    if (lcMail().isDebugEnabled() && (type == CURLINFO_TEXT || type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT)) {
        QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
        if (type == CURLINFO_HEADER_OUT) {
            // Commands are named; whatever else the client sends answers a
            // log-in challenge.
            const QByteArray verb = CommandVerb(line);
            static const QList<QByteArray> commands = {"EHLO", "HELO", "STARTTLS", "MAIL", "RCPT", "DATA", "QUIT", "RSET", "NOOP"};
            if (verb == "AUTH")
                line = line.left(line.indexOf(' ', 5) < 0 ? line.size() : line.indexOf(' ', 5)) + " ...";
            else if (!commands.contains(verb))
                line = "...";
        }
        if (type == CURLINFO_HEADER_IN && line.startsWith("334"))
            line = "334 ...";
        const char* direction = type == CURLINFO_HEADER_IN ? "<" : type == CURLINFO_HEADER_OUT ? ">" : "*";
        qCDebug(lcMail).noquote() << direction << QString::fromUtf8(line);
    }
    return 0;
}

QByteArray AddressHeader(const char* name, const QList<TMailAddress>& list)
{
    QByteArray header = name;
    header += ": ";
    for (int i = 0; i < list.size(); ++i) {
        if (i > 0)
            header += ",\r\n ";
        header += MailEncoding::Mailbox(list[i]);
    }
    return header;
}

// The body as mail wants it: lines ending in CRLF.
QByteArray BodyText(const QString& body)
{
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text.toUtf8();
}

} // namespace

QString SendMail(const TSmtpAccount& account, const TMailMessage& message, const std::atomic<bool>* cancel)
{
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (initialised != CURLE_OK)
        return QString::fromUtf8(curl_easy_strerror(initialised));
    if (message.to.isEmpty() && message.cc.isEmpty() && message.bcc.isEmpty())
        return QStringLiteral("The message has no recipient.");
    // The addresses go into the SMTP commands as they are: a line break in
    // one would add commands (and recipients) of its own.
    for (const QList<TMailAddress>* list : {&message.to, &message.cc, &message.bcc})
        for (const TMailAddress& r : *list)
            if (!IsAddress(r.address))
                return InvalidAddressText(r.address);
    if (!IsAddress(message.from.address))
        return InvalidAddressText(message.from.address);
    for (const QString& path : message.attachments)
        if (!QFileInfo(path).isFile())
            return QStringLiteral("The attachment \"%1\" does not exist.").arg(path);

    std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
    if (!curl)
        return QStringLiteral("The mail client could not be started.");
    CURL* c = curl.get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);

    const bool implicitTls = account.security == TSmtpAccount::Tls;
    QUrl url;
    url.setScheme(implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"));
    url.setHost(account.host.trimmed());
    url.setPort(account.port);
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("\"%1\" is not a valid SMTP host.").arg(account.host);
    const QByteArray urlText = url.toEncoded();
    curl_easy_setopt(c, CURLOPT_URL, urlText.constData());
    if (account.security == TSmtpAccount::StartTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    const QByteArray caFile = QFile::encodeName(account.caFile);
    if (!caFile.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
    const QByteArray user = account.userName.toUtf8(), password = account.password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    TConnectContext connect{account.connectTimeoutMs, 0};
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &OpenConnected);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &connect);
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, &AlreadyConnected);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(account.greetingTimeoutMs));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(account.stallTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    TDialogue dialogue;
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &KeepDialogue);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &dialogue);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &CancelCheck);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));

    // The envelope: every recipient, blind copies only here.
    const QByteArray from = '<' + message.from.address.toLatin1() + '>';
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    TSlist recipients;
    for (const QList<TMailAddress>* list : {&message.to, &message.cc, &message.bcc})
        for (const TMailAddress& r : *list)
            recipients.Append('<' + r.address.toLatin1() + '>');
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.Get());

    TSlist headers;
    headers.Append("Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1());
    headers.Append("Message-ID: " + MailEncoding::NewMessageId(message.from.address));
    headers.Append("From: " + MailEncoding::Mailbox(message.from));
    if (!message.to.isEmpty())
        headers.Append(AddressHeader("To", message.to));
    if (!message.cc.isEmpty())
        headers.Append(AddressHeader("Cc", message.cc));
    headers.Append("Subject: " + MailEncoding::HeaderText(message.subject));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.Get());

    std::unique_ptr<curl_mime, TCurlDeleter> mime(curl_mime_init(c));
    curl_mimepart* text = curl_mime_addpart(mime.get());
    const QByteArray body = BodyText(message.body);
    curl_mime_data(text, body.constData(), size_t(body.size()));
    curl_mime_type(text, "text/plain; charset=UTF-8");
    curl_mime_encoder(text, "quoted-printable");

    // Part headers must outlive the transfer: curl takes the lists over.
    QMimeDatabase types;
    for (const QString& path : message.attachments) {
        curl_mimepart* part = curl_mime_addpart(mime.get());
        // curl keeps its own copy of the name.
        curl_mime_filedata(part, QFile::encodeName(path).constData());
        // The name goes in the header below, encoded; curl would write the
        // bytes of the file's base name as they are.
        curl_mime_filename(part, nullptr);
        curl_mime_type(part, types.mimeTypeForFile(path).name().toLatin1().constData());
        curl_mime_encoder(part, "base64");
        curl_slist* partHeaders =
            curl_slist_append(nullptr, MailEncoding::AttachmentDisposition(QFileInfo(path).fileName()).constData());
        curl_mime_headers(part, partHeaders, 1);
    }
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK)
        return {};
    if (code == CURLE_ABORTED_BY_CALLBACK)
        return QStringLiteral("Sending was cancelled.");
    if (code == CURLE_COULDNT_CONNECT && connect.error != 0)
        return QStringLiteral("Cannot connect to %1 port %2: %3")
            .arg(url.host())
            .arg(account.port)
            .arg(connect.error == ETIMEDOUT
                     ? QStringLiteral("no answer within %1 ms").arg(account.connectTimeoutMs)
                     : QString::fromLocal8Bit(std::strerror(connect.error)));
    // A connection that ends without a refusal: libcurl then speaks of the
    // socket ("response reading failed (errno: 115)"), which tells the user
    // nothing. Without the server's final reply nothing was delivered.
    const bool refused = !dialogue.firstRefusal.isEmpty();
    if (!refused && (code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING)) {
        if (dialogue.lastCommand == "DATA")
            return QStringLiteral("The server closed the connection while the message was being sent; the message was "
                                  "not sent.");
        if (!dialogue.lastCommand.isEmpty())
            return QStringLiteral("The server closed the connection after the command %1; the message was not sent.")
                .arg(QString::fromLatin1(dialogue.lastCommand));
        return QStringLiteral("The server closed the connection before it greeted; the message was not sent.");
    }
    QString detail = QString::fromUtf8(errorBuffer).trimmed();
    if (detail.isEmpty())
        detail = QString::fromUtf8(curl_easy_strerror(code));
    const QString reply = QString::fromUtf8(dialogue.lastReply);
    if ((reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5'))) && !detail.contains(reply))
        detail += QStringLiteral(" (the server said: %1)").arg(reply);
    return detail;
}
