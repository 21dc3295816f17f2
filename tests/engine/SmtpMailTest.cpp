#include "SmtpSink.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "engine/SmtpMail.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct AddressCase {
    const char* text;
    QList<TMailAddress> expected;   // empty with error
    bool error;
};

TEST(MailAddresses, ListsWithBothSeparatorsAndDisplayNamesAreUnderstood)
{
    const QList<AddressCase> cases = {
        {"a@x.org", {{"", "a@x.org"}}, false},
        {" a@x.org; b@y.org , c@z.org;", {{"", "a@x.org"}, {"", "b@y.org"}, {"", "c@z.org"}}, false},
        {"\"Doe, John; Jr.\" <john@x.org>, Jane <jane@y.org>",
         {{"Doe, John; Jr.", "john@x.org"}, {"Jane", "jane@y.org"}},
         false},
        {"\"Say \\\"hi\\\"\" <q@x.org>", {{"Say \"hi\"", "q@x.org"}}, false},
        {"", {}, false},
        {" ; , ", {}, false},
        {"no-at-sign", {}, true},
        {"a@x.org, two@@x.org", {}, true},
        {"a b@x.org", {}, true},
        {"Name <missing-close@x.org", {}, true},
        {"@x.org", {}, true},
        {"a@", {}, true},
        {"x@y.org\r\nBcc: evil@z.org", {}, true},
    };
    for (const AddressCase& c : cases) {
        const TAddressList parsed = ParseAddressList(QString::fromUtf8(c.text));
        EXPECT_EQ(!parsed.error.isEmpty(), c.error) << c.text << " " << parsed.error.toStdString();
        EXPECT_EQ(parsed.addresses, c.expected) << c.text;
    }
    EXPECT_EQ(ParseAddressList("ok@x.org; broken").error, "\"broken\" is not a valid e-mail address.");
}

TEST(MailEncoding, HeadersStayAsciiAndShortLines)
{
    EXPECT_EQ(MailEncoding::HeaderText("Plain subject"), "Plain subject");
    // a line break typed into a field cannot start a header of its own
    EXPECT_EQ(MailEncoding::HeaderText("a\r\nBcc: x@y.org"), "a  Bcc: x@y.org");
    const QString greek = QString::fromUtf8("Καλημέρα κόσμε, αυτό είναι ένα μεγάλο θέμα μηνύματος με πολλούς χαρακτήρες");
    const QByteArray encoded = MailEncoding::HeaderText(greek);
    for (const QByteArray& line : encoded.split('\n')) {
        EXPECT_LE(line.trimmed().size(), 75);
        EXPECT_TRUE(line.trimmed().startsWith("=?UTF-8?B?")) << line.constData();
    }
    const QByteArray disposition = MailEncoding::AttachmentDisposition(QString(40, QChar(0x00E9)) + ".txt");
    EXPECT_TRUE(disposition.contains("filename*0*=UTF-8''")) << disposition.constData();
    for (const QByteArray& line : disposition.split('\n'))
        EXPECT_LE(line.size(), 78);
    EXPECT_EQ(MailEncoding::AttachmentDisposition("report.pdf"), "Content-Disposition: attachment; filename=\"report.pdf\"");
}

class SmtpSendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::ScratchFolder();
        message.from = {QStringLiteral("Tessaryn User"), QStringLiteral("me@example.org")};
        message.to = {{QString::fromUtf8("Müller, Jürgen"), QStringLiteral("juergen@example.org")},
                      {QString(), QStringLiteral("plain@example.org")}};
        message.cc = {{QString::fromUtf8("Иван"), QStringLiteral("ivan@example.org")}};
        message.bcc = {{QString(), QStringLiteral("hidden@example.org")}};
        message.subject = QString::fromUtf8("Καλημέρα — Grüße — Привет: entries 12 and 13");
        message.body = QString::fromUtf8("12. Straße\nΚαλημέρα\r\n.a line that starts with a dot\n"
                                         "Привет мир\n");
        QByteArray binary;
        for (int i = 0; i < 70000; ++i)
            binary.append(char(i * 7 % 256));
        WriteFile(folder + "/12.zip", binary);
        WriteFile(folder + QString::fromUtf8("/notes with spaces ελληνικά.txt"), "Grüße\n");
        message.attachments = {folder + "/12.zip", folder + QString::fromUtf8("/notes with spaces ελληνικά.txt")};
    }

    static QByteArray FileBytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TSmtpAccount Account(const TSmtpSink& sink) const
    {
        TSmtpAccount account;
        account.host = QStringLiteral("127.0.0.1");
        account.port = sink.Port();
        return account;
    }

    QString folder;
    TMailMessage message;
};

TEST_F(SmtpSendTest, MessageArrivesWithEveryHeaderTextAndAttachmentIntact)
{
    TSmtpSink sink;
    ASSERT_TRUE(sink.Started()) << sink.Log().toStdString();
    ASSERT_EQ(SendMail(Account(sink), message), QString());
    const QList<QJsonObject> received = sink.Messages();
    ASSERT_EQ(received.size(), 1);
    const QJsonObject mail = received.first();
    const QJsonObject headers = mail["headers"].toObject();
    EXPECT_EQ(headers["Subject"].toString(), message.subject);
    EXPECT_EQ(headers["From"].toString(), "Tessaryn User <me@example.org>");
    EXPECT_EQ(headers["To"].toString(), QString::fromUtf8("\"Müller, Jürgen\" <juergen@example.org>, plain@example.org"));
    EXPECT_EQ(headers["Cc"].toString(), QString::fromUtf8("Иван <ivan@example.org>"));
    // blind copies travel in the envelope only
    EXPECT_FALSE(headers.contains("Bcc"));
    EXPECT_FALSE(sink.Raw(1).contains("hidden@"));
    EXPECT_EQ(mail["envelope"].toObject()["to"].toArray().toVariantList(),
              QVariantList({"juergen@example.org", "plain@example.org", "ivan@example.org", "hidden@example.org"}));
    EXPECT_EQ(mail["envelope"].toObject()["from"].toString(), "me@example.org");
    EXPECT_TRUE(headers["Message-ID"].toString().endsWith("@example.org>"));
    EXPECT_FALSE(headers["Date"].toString().isEmpty());
    EXPECT_EQ(mail["body_charset"].toString(), "utf-8");
    QString body = mail["body"].toString();
    body.replace("\r\n", "\n");
    EXPECT_EQ(body, QString::fromUtf8("12. Straße\nΚαλημέρα\n.a line that starts with a dot\nПривет мир\n"));
    EXPECT_TRUE(mail["defects"].toArray().isEmpty());
    // the raw message is plain ASCII: nothing depends on 8-bit transport
    for (const char c : sink.Raw(1))
        ASSERT_LT(static_cast<unsigned char>(c), 0x80);

    const QJsonArray attachments = mail["attachments"].toArray();
    ASSERT_EQ(attachments.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject a = attachments[i].toObject();
        EXPECT_EQ(a["name"].toString(), QFileInfo(message.attachments[i]).fileName());
        EXPECT_EQ(QByteArray::fromBase64(a["data"].toString().toLatin1()), FileBytes(message.attachments[i]))
            << a["name"].toString().toStdString();
    }
    EXPECT_EQ(attachments[0].toObject()["type"].toString(), "application/zip");
    EXPECT_EQ(attachments[1].toObject()["type"].toString(), "text/plain");
}

TEST_F(SmtpSendTest, FailuresAreReportedWithTheirReasonAndDeliverNothing)
{
    // nothing listening: refused at once, well within the connection time-out
    {
        TSmtpAccount account;
        account.host = QStringLiteral("127.0.0.1");
        account.port = TSmtpSink::UnusedPort();
        QElapsedTimer timer;
        timer.start();
        const QString error = SendMail(account, message);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(error, QString("Cannot connect to 127.0.0.1 port %1: Connection refused").arg(account.port));
        EXPECT_LT(timer.elapsed(), 5000);
    }
    // a recipient the server does not know stops the whole message
    TSmtpSink sink({"--reject", "plain@example.org"});
    ASSERT_TRUE(sink.Started()) << sink.Log().toStdString();
    const QString rejected = SendMail(Account(sink), message);
    EXPECT_TRUE(rejected.contains("550")) << rejected.toStdString();
    EXPECT_TRUE(sink.Messages().isEmpty());
    // an attachment that went away is named before anything is sent
    QFile::remove(message.attachments.first());
    EXPECT_EQ(SendMail(Account(sink), message),
              QString("The attachment \"%1\" does not exist.").arg(message.attachments.first()));
    // cancelled before the transfer
    message.attachments.removeFirst();
    std::atomic<bool> cancel{true};
    EXPECT_EQ(SendMail(Account(sink), message, &cancel), "Sending was cancelled.");
    EXPECT_TRUE(sink.Messages().isEmpty());
}

TEST_F(SmtpSendTest, AnAddressThatCarriesALineBreakIsRefusedBeforeAnythingIsSent)
{
    TSmtpSink sink;
    ASSERT_TRUE(sink.Started()) << sink.Log().toStdString();
    // Each would add a recipient (or a command) of its own to the envelope.
    const QString injected = QStringLiteral("plain@example.org>\r\nRCPT TO:<evil@example.org");
    const QList<std::pair<const char*, QList<TMailAddress>* >> fields = {
        {"to", &message.to}, {"cc", &message.cc}, {"bcc", &message.bcc}};
    for (const auto& [name, list] : fields) {
        SCOPED_TRACE(name);
        const QList<TMailAddress> kept = *list;
        list->append({QString(), injected});
        const QString error = SendMail(Account(sink), message);
        EXPECT_EQ(error, QString("\"%1\" is not a valid e-mail address.").arg(injected));
        *list = kept;
    }
    const TMailAddress sender = message.from;
    message.from.address = QStringLiteral("me@example.org>\nRCPT TO:<evil@example.org");
    EXPECT_TRUE(SendMail(Account(sink), message).endsWith("is not a valid e-mail address."));
    message.from = sender;
    EXPECT_TRUE(sink.Messages().isEmpty());
    // the same message without them goes out, to its own recipients only
    ASSERT_EQ(SendMail(Account(sink), message), QString());
    const QList<QJsonObject> received = sink.Messages();
    ASSERT_EQ(received.size(), 1);
    EXPECT_FALSE(received.first()["envelope"].toObject()["to"].toArray().toVariantList().contains("evil@example.org"));
}

// An SMTP server that accepts the message's envelope, answers DATA and then
// hangs up: after the first bytes of the message, or once all of it arrived.
class THangingUpServer {
public:
    explicit THangingUpServer(bool readWholeMessage)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_listener, 1) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, readWholeMessage] { Serve(readWholeMessage); });
    }
    ~THangingUpServer()
    {
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }
    QByteArray Received() const { return m_received; }

private:
    void Serve(bool readWholeMessage)
    {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) != 1)
            return;
        const int client = ::accept(m_listener, nullptr, nullptr);
        const auto say = [client](const char* line) { return ::send(client, line, strlen(line), MSG_NOSIGNAL); };
        say("220 hanging-up.test ESMTP\r\n");
        bool inData = false;
        char buffer[4096];
        for (;;) {
            pollfd reading{client, POLLIN, 0};
            if (::poll(&reading, 1, 20000) != 1)
                break;
            const ssize_t read = ::recv(client, buffer, sizeof buffer, 0);
            if (read <= 0)
                break;
            m_received.append(buffer, read);
            if (inData) {
                if (!readWholeMessage || m_received.contains("\r\n.\r\n"))
                    break;   // hang up without a word
                continue;
            }
            // one reply per complete command line
            while (m_received.contains("\r\n")) {
                const int end = m_received.indexOf("\r\n");
                const QByteArray command = m_received.left(end).toUpper();
                m_received.remove(0, end + 2);
                if (command.startsWith("DATA")) {
                    say("354 go ahead\r\n");
                    inData = true;
                    break;
                }
                say(command.startsWith("EHLO") ? "250 hanging-up.test\r\n" : "250 OK\r\n");
            }
        }
        ::close(client);
    }

    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    QByteArray m_received;
};

TEST_F(SmtpSendTest, AServerThatHangsUpDuringTheMessageIsSaidToHaveClosedTheConnection)
{
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "after the whole message" : "after its first bytes");
        THangingUpServer server(whole);
        ASSERT_GT(server.Port(), 0);
        TSmtpAccount account;
        account.host = QStringLiteral("127.0.0.1");
        account.port = server.Port();
        const QString error = SendMail(account, message);
        EXPECT_EQ(error, "The server closed the connection while the message was being sent; the message was not sent.");
    }
}

TEST_F(SmtpSendTest, StartTlsWithLogInReachesAServerThatDemandsBoth)
{
    QString cert, key;
    ASSERT_TRUE(TSmtpSink::MakeCertificate(folder, cert, key));
    TSmtpSink sink({"--starttls", cert, key, "--auth", "me", QString::fromUtf8("pässword")});
    ASSERT_TRUE(sink.Started()) << sink.Log().toStdString();
    TSmtpAccount account = Account(sink);
    // without encryption the server refuses to go on
    EXPECT_FALSE(SendMail(account, message).isEmpty());
    account.security = TSmtpAccount::StartTls;
    account.userName = QStringLiteral("me");
    account.password = QStringLiteral("wrong");
    account.caFile = cert;
    const QString refused = SendMail(account, message);
    EXPECT_TRUE(refused.contains("535")) << refused.toStdString();
    account.password = QString::fromUtf8("pässword");
    ASSERT_EQ(SendMail(account, message), QString());
    // a certificate nobody vouches for is refused
    account.caFile.clear();
    EXPECT_FALSE(SendMail(account, message).isEmpty());
    const QList<QJsonObject> received = sink.Messages();
    ASSERT_EQ(received.size(), 1);
    EXPECT_TRUE(received.first()["envelope"].toObject()["tls"].toBool());
    EXPECT_EQ(received.first()["envelope"].toObject()["login"].toString(), "me");
}

} // namespace
