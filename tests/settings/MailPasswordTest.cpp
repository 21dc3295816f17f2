#include "TestEnv.h"
#include "engine/fMailEntries.h"
#include "settings/MailPassword.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// A private session bus, and on demand GNOME's secret service on it, with its
// keyring files in a scratch home: the test never touches the user's keyring.
class SecretStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnv::ScratchFolder();
        // No service directories: nothing is started on demand, so the
        // secret service is there only once the test starts it.
        QFile config(home + "/bus.conf");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                     "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:tmpdir=" + home.toUtf8() + "</listen>"
                     "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        bus.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--print-address=1",
                                  "--nopidfile"});
        ASSERT_TRUE(bus.waitForStarted(5000));
        ASSERT_TRUE(bus.waitForReadyRead(5000));
        const QByteArray address = bus.readLine().trimmed();
        ASSERT_FALSE(address.isEmpty());
        // Read by the D-Bus connection when it is first made, below.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }
    void TearDown() override
    {
        for (QProcess* p : {&keyring, &bus}) {
            p->kill();
            p->waitForFinished(3000);
        }
    }

    bool StartKeyring()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", home + "/data");
        keyring.setProcessEnvironment(env);
        keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
        if (!keyring.waitForStarted(5000))
            return false;
        keyring.write("test");   // the password of the new login keyring
        keyring.closeWriteChannel();
        // Ready once the login keyring it makes is the default one.
        return TestEnv::WaitFor([] {
            QString reply;
            TestEnv::Run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.secrets",
                                       "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.ReadAlias",
                                       "string:default"},
                         &reply);
            return reply.contains("collection/login");
        }, 10000);
    }

    QString home;
    QProcess bus, keyring;
};

TEST_F(SecretStoreTest, ThePasswordLivesInTheSecretStoreOnly)
{
    const QString key = MailPassword::Key(" me ", "smtp.example.org", 587);
    EXPECT_EQ(key, "smtp://me@smtp.example.org:587");
    // no secret service: the reason is told and nothing is kept anywhere else
    const QString refused = MailPassword::Write(key, "secret");
    EXPECT_TRUE(refused.startsWith("The password could not be kept in the desktop's secret store: "))
        << refused.toStdString();
    QString error;
    EXPECT_FALSE(MailPassword::Read(key, &error).has_value());
    EXPECT_TRUE(error.startsWith("The password could not be read from the desktop's secret store: "))
        << error.toStdString();

    ASSERT_TRUE(StartKeyring()) << keyring.readAllStandardError().toStdString();
    EXPECT_EQ(MailPassword::Read(key), std::optional<QString>(QString()));
    const QString password = QString::fromUtf8("pässwörd \"with\" quotes");
    const QString written = MailPassword::Write(key, password);
    ASSERT_EQ(written, QString()) << written.toStdString();
    EXPECT_EQ(MailPassword::Read(key), std::optional<QString>(password));
    // other accounts have their own
    EXPECT_EQ(MailPassword::Read(MailPassword::Key("me", "smtp.example.org", 25)), std::optional<QString>(QString()));

    // the mail window's account takes it from there
    TAppSettings app;
    app.MailSmtpHost = "smtp.example.org";
    app.MailSmtpPort = 587;
    app.MailSecurity = 1;
    app.MailUserName = "me";
    std::optional<TSmtpAccount> account = MailAccountFromSettings(app, &error);
    ASSERT_TRUE(account.has_value()) << error.toStdString();
    EXPECT_EQ(account->password, password);
    EXPECT_EQ(account->security, TSmtpAccount::StartTls);
    EXPECT_EQ(account->port, 587);

    // the keyring's files do not hold it in clear
    QDirIterator files(home, QDir::Files, QDirIterator::Subdirectories);
    int checked = 0;
    while (files.hasNext()) {
        QFile f(files.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_FALSE(f.readAll().contains(password.toUtf8())) << f.fileName().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 0);

    ASSERT_EQ(MailPassword::Remove(key), QString());
    EXPECT_EQ(MailPassword::Read(key), std::optional<QString>(QString()));
    EXPECT_EQ(MailPassword::Remove(key), QString()) << "removing what is not there is no error";
}

} // namespace
