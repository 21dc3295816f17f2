#include "engine/fMailEntries.h"

#include "app/IDesktop.h"
#include "controls/CommandButton.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "settings/MailPassword.h"
#include "settings/MruDropDown.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>

#include <memory>

namespace {

// The recipient histories belong to the user wherever they work.
constexpr int kHistoryScope = 0;

QComboBox* NewRecipientBox(QWidget* parent, const char* name, const QString& hint)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setStatusTip(hint);
    box->setToolTip(hint);
    box->setMinimumContentsLength(30);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

} // namespace

std::optional<TSmtpAccount> MailAccountFromSettings(const TAppSettings& app, QString* error)
{
    TSmtpAccount account;
    account.host = app.MailSmtpHost.trimmed();
    account.port = app.MailSmtpPort > 0 && app.MailSmtpPort < 65536 ? app.MailSmtpPort : 25;
    account.security = app.MailSecurity;
    account.userName = app.MailUserName.trimmed();
    if (!account.userName.isEmpty()) {
        const std::optional<QString> password =
            MailPassword::Read(MailPassword::Key(account.userName, account.host, account.port), error);
        if (!password)
            return std::nullopt;
        account.password = *password;
    }
    return account;
}

std::function<int(TfrmMailEntries&)> TfrmMailEntries::ExecuteHook;
std::function<std::optional<TSmtpAccount>(const TAppSettings&, QString*)> TfrmMailEntries::AccountSource;

TfrmMailEntries::TfrmMailEntries(TdmMain& dmMain, QWidget* parent) : TFrmPersistent(dmMain, parent)
{
    setObjectName(QStringLiteral("TfrmMailEntries"));
    setWindowTitle(QStringLiteral("E-mail selected entries"));
    setModal(true);
    resize(560, 460);

    coTo = NewRecipientBox(this, "coTo", QStringLiteral("Recipients; separate several with \",\" or \";\""));
    coCC = NewRecipientBox(this, "coCC", QStringLiteral("Carbon-copy recipients"));
    coBCC = NewRecipientBox(this, "coBCC", QStringLiteral("Blind carbon-copy recipients: the others do not see them"));
    edSubject = new QLineEdit(this);
    edSubject->setObjectName(QStringLiteral("edSubject"));
    meBody = new QPlainTextEdit(this);
    meBody->setObjectName(QStringLiteral("meBody"));
    meBody->setTabChangesFocus(true);

    auto* fields = new QFormLayout;
    const auto addField = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        fields->addRow(label, field);
    };
    addField(QStringLiteral("&To:"), coTo);
    addField(QStringLiteral("&CC:"), coCC);
    addField(QStringLiteral("&BCC:"), coBCC);
    addField(QStringLiteral("&Subject:"), edSubject);
    // What goes with the message, so that the user knows before sending.
    laAttachments = new QLabel(this);
    laAttachments->setObjectName(QStringLiteral("laAttachments"));
    laAttachments->setWordWrap(true);
    laAttachments->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fields->addRow(new QLabel(QStringLiteral("Attached:"), this), laAttachments);
    auto* laBody = new QLabel(QStringLiteral("Body"), this);
    laBody->setBuddy(meBody);

    // The label stays visible after a successful send, when the area with
    // the error text is put away, so that the user sees the outcome.
    laStatus = new QLabel(this);
    laStatus->setObjectName(QStringLiteral("laStatus"));
    laStatus->setWordWrap(true);
    paStatus = new QWidget(this);
    paStatus->setObjectName(QStringLiteral("paStatus"));
    meStatus = new QPlainTextEdit(paStatus);
    meStatus->setObjectName(QStringLiteral("meStatus"));
    meStatus->setReadOnly(true);
    meStatus->setMaximumHeight(fontMetrics().lineSpacing() * 4 + 12);
    auto* status = new QVBoxLayout(paStatus);
    status->setContentsMargins(0, 0, 0, 0);
    status->addWidget(meStatus);

    btnSend = NewCommandButton(this, "btnSend", QStringLiteral(" Send !"), QStringLiteral("Sends the e-mail message"));
    btnCancel = NewCommandButton(this, "btnCancel", QStringLiteral("Exit"), QStringLiteral("Closes this window"));
    // A refused login or a wrong server is put right from here, and the
    // message sent again.
    btnSettings = NewCommandButton(this, "btnSettings", QStringLiteral("Settings..."),
                                   QStringLiteral("The sender, the SMTP server and how to reach it"));
    btnSettings->setAutoDefault(false);
    connect(btnSettings, &QPushButton::clicked, this, [this] {
        if (m_dmMain.EntryManager().ShowPreferences)
            m_dmMain.EntryManager().ShowPreferences(QStringLiteral("laMail"));
    });
    btnSend->setAutoDefault(false);
    btnCancel->setAutoDefault(false);
    connect(btnSend, &QPushButton::clicked, this, &TfrmMailEntries::btnSendClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmMailEntries::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSettings);
    buttons->addWidget(laStatus, 1);
    buttons->addWidget(btnSend);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(fields);
    column->addWidget(laBody);
    column->addWidget(meBody, 1);
    column->addWidget(paStatus);
    column->addLayout(buttons);
    paStatus->hide();
}

TfrmMailEntries::~TfrmMailEntries() = default;

void TfrmMailEntries::SetAttachments(const QStringList& attachments)
{
    m_attachments = attachments;
    QStringList names;
    qint64 total = 0;
    for (const QString& path : attachments) {
        names << QFileInfo(path).fileName();
        total += QFileInfo(path).size();
    }
    laAttachments->setText(attachments.isEmpty()
                               ? QStringLiteral("(nothing)")
                               : QStringLiteral("%1 (%2 in %3)")
                                     .arg(names.join(QStringLiteral(", ")), FormatFileSize(total),
                                          attachments.size() == 1 ? QStringLiteral("1 file")
                                                                  : QStringLiteral("%1 files").arg(attachments.size())));
}

int TfrmMailEntries::Run()
{
    if (ExecuteHook)
        return ExecuteHook(*this);
    return exec();
}

void TfrmMailEntries::FormShow()
{
    TFrmPersistent::FormShow();
    laStatus->clear();
    paStatus->hide();
    for (QComboBox* box : {coTo, coCC, coBCC})
        LoadComboHistory(m_dmMain.Settings(), box, kHistoryScope);
    coTo->setFocus();
}

void TfrmMailEntries::FormDestroy()
{
    if (m_sent)
        for (QComboBox* box : {coTo, coCC, coBCC})
            SaveComboHistory(m_dmMain.Settings(), box, kHistoryScope);
    TFrmPersistent::FormDestroy();
}

void TfrmMailEntries::reject()
{
    // Exit while a message goes out stops the transfer; the window closes
    // once the connection is down.
    if (m_sending) {
        m_cancel = true;
        return;
    }
    TFrmPersistent::reject();
}

void TfrmMailEntries::ReportError(const QString& message)
{
    meStatus->setPlainText(QStringLiteral("ERROR: ") + message + QLatin1Char('\n') + meStatus->toPlainText());
}

void TfrmMailEntries::btnSendClick()
{
    if (m_sending)
        return;
    if (edSubject->text().trimmed().isEmpty() || coTo->currentText().trimmed().isEmpty()) {
        m_dmMain.Desktop().ShowMessage(
            QStringLiteral("You must first enter the subject and the recipient of the e-mail message."),
            IDesktop::TMsgKind::Information);
        return;
    }
    laStatus->clear();
    paStatus->show();
    meStatus->clear();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    TMailMessage message;
    message.from = {QString(), m_dmMain.App.MailAddress.trimmed()};
    message.subject = edSubject->text();
    message.body = meBody->toPlainText();
    message.attachments = m_attachments;
    const std::pair<QComboBox*, QList<TMailAddress>*> lists[] = {
        {coTo, &message.to}, {coCC, &message.cc}, {coBCC, &message.bcc}};
    for (const auto& [box, list] : lists) {
        const TAddressList parsed = ParseAddressList(box->currentText());
        if (!parsed.error.isEmpty()) {
            ReportError(parsed.error);
            box->setFocus();
            return;
        }
        *list = parsed.addresses;
    }
    const TAddressList sender = ParseAddressList(message.from.address);
    if (!sender.error.isEmpty() || sender.addresses.size() != 1) {
        ReportError(QStringLiteral("Your e-mail address \"%1\" is not valid.").arg(message.from.address));
        return;
    }
    message.from = sender.addresses.first();

    QString accountError;
    const std::optional<TSmtpAccount> account =
        AccountSource ? AccountSource(m_dmMain.App, &accountError) : MailAccountFromSettings(m_dmMain.App, &accountError);
    if (!account) {
        ReportError(accountError);
        return;
    }

    // The transfer runs beside the window, which stays responsive: Exit
    // stops it.
    m_sending = true;
    m_cancel = false;
    btnSend->setEnabled(false);
    btnSettings->setEnabled(false);
    laStatus->setText(QStringLiteral("Sending the e-mail message to %1...").arg(account->host));
    QString error;
    std::unique_ptr<QThread> worker(QThread::create([&] { error = SendMail(*account, message, &m_cancel); }));
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    m_sending = false;
    btnSettings->setEnabled(true);

    if (!error.isEmpty()) {
        laStatus->clear();
        ReportError(error);
        btnSend->setEnabled(true);
        if (m_cancel)
            TFrmPersistent::reject();
        return;
    }
    for (QComboBox* box : {coTo, coCC, coBCC})
        AddToHistory(box, ComboHistory::CurrentTextMarker);
    m_sent = true;
    laStatus->setText(QStringLiteral("e-mail message sent successfully."));
    paStatus->hide();
    btnSend->setEnabled(false);
}
