#include "preferences/MailSettingsPage.h"

#include "settings/AppSettings.h"
#include "settings/MailPassword.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

TMailSettingsPage::TMailSettingsPage(QWidget* parent) : TBGroupBox(QStringLiteral(" e-Mail "), parent)
{
    setObjectName(QStringLiteral("gbMail"));
    const auto named = [](QWidget* w, const char* name, const QString& hint) {
        w->setObjectName(QString::fromLatin1(name));
        w->setStatusTip(hint);
        w->setToolTip(hint);
        return w;
    };
    edMailAddress = new QLineEdit(this);
    named(edMailAddress, "edMailAddress", QStringLiteral("The address the messages are sent from"));
    edMailHost = new QLineEdit(this);
    named(edMailHost, "edMailHost", QStringLiteral("The name of the server that sends your mail (SMTP)"));
    edMailPort = new QSpinBox(this);
    named(edMailPort, "edMailPort", QStringLiteral("25 without encryption, 587 with STARTTLS, 465 with TLS"));
    edMailPort->setRange(1, 65535);
    coMailSecurity = new QComboBox(this);
    named(coMailSecurity, "coMailSecurity", QStringLiteral("How the connection to the server is protected"));
    coMailSecurity->addItems({QStringLiteral("None"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    edMailUserName = new QLineEdit(this);
    named(edMailUserName, "edMailUserName", QStringLiteral("Leave empty when the server asks for no log-in"));
    edMailPassword = new QLineEdit(this);
    named(edMailPassword, "edMailPassword", QStringLiteral("Kept in the desktop's secret store"));
    edMailPassword->setEchoMode(QLineEdit::Password);
    edMailSizeLimit = new QLineEdit(this);
    named(edMailSizeLimit, "edMailSizeLimit", QStringLiteral("The largest total size of the files of one message"));
    chMailAsZip = new QCheckBox(QStringLiteral("Send entries as compressed (.ZIP) files"), this);
    named(chMailAsZip, "chMailAsZip", QStringLiteral("Each entry is sent as one .ZIP file instead of all its files"));
    connect(edMailPassword, &QLineEdit::textEdited, this, [this] { m_passwordEdited = true; });
    // The usual port of each kind of connection, as long as the user kept the
    // usual port of the previous one.
    connect(coMailSecurity, &QComboBox::currentIndexChanged, this, [this](int index) {
        static const int usual[] = {25, 587, 465};
        for (const int port : usual)
            if (edMailPort->value() == port && index >= 0 && index < 3) {
                edMailPort->setValue(usual[index]);
                break;
            }
    });

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("e-mail address"), edMailAddress);
    form->addRow(QStringLiteral("SMTP host"), edMailHost);
    form->addRow(QStringLiteral("Port"), edMailPort);
    form->addRow(QStringLiteral("Connection security"), coMailSecurity);
    form->addRow(QStringLiteral("User name"), edMailUserName);
    form->addRow(QStringLiteral("Password"), edMailPassword);
    form->addRow(QStringLiteral("Mail size limit (in KB)"), edMailSizeLimit);
    form->addRow(chMailAsZip);
}

void TMailSettingsPage::LoadControls(const TAppSettings& app)
{
    edMailAddress->setText(app.MailAddress);
    // The default is a request, not an address: typing replaces it.
    if (app.MailAddress == QStringLiteral("<Enter your e-mail address here>"))
        edMailAddress->selectAll();
    edMailHost->setText(app.MailSmtpHost);
    coMailSecurity->blockSignals(true);
    coMailSecurity->setCurrentIndex(app.MailSecurity >= 0 && app.MailSecurity <= 2 ? app.MailSecurity : 0);
    coMailSecurity->blockSignals(false);
    edMailPort->setValue(app.MailSmtpPort > 0 && app.MailSmtpPort < 65536 ? app.MailSmtpPort : 25);
    edMailUserName->setText(app.MailUserName);
    // The stored password is never read back into a window: the field stays
    // empty and only a new text replaces it.
    edMailPassword->clear();
    edMailPassword->setPlaceholderText(app.MailUserName.trimmed().isEmpty() ? QString()
                                                                             : QStringLiteral("(unchanged)"));
    m_passwordEdited = false;
    edMailSizeLimit->setText(QString::number(app.MailSizeLimit));
    chMailAsZip->setChecked(app.MailAsZip);
}

QString TMailSettingsPage::SaveControls(TAppSettings& app)
{
    app.MailAddress = edMailAddress->text();
    app.MailSmtpHost = edMailHost->text();
    app.MailSmtpPort = edMailPort->value();
    app.MailSecurity = coMailSecurity->currentIndex();
    app.MailUserName = edMailUserName->text().trimmed();
    bool ok = false;
    const int limit = edMailSizeLimit->text().toInt(&ok);
    app.MailSizeLimit = ok ? limit : 1024;
    app.MailAsZip = chMailAsZip->isChecked();
    if (!m_passwordEdited || app.MailUserName.isEmpty())
        return {};
    const QString key = MailPassword::Key(app.MailUserName, app.MailSmtpHost, app.MailSmtpPort);
    return edMailPassword->text().isEmpty() ? MailPassword::Remove(key)
                                            : MailPassword::Write(key, edMailPassword->text());
}
