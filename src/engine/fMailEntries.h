#pragma once

#include "engine/SmtpMail.h"
#include "settings/AppSettings.h"
#include "settings/fPersistent.h"

#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The SMTP server and sender the settings name, with the password from the
// desktop's secret store when a user name is set. nullopt with the reason
// when the password cannot be had.
std::optional<TSmtpAccount> MailAccountFromSettings(const TAppSettings& app, QString* error);

// The window that sends prepared attachments: recipients with their
// histories, subject and body, and a status area that reports a failed
// attempt without losing anything typed, so that the user can correct the
// fields and send again.
class TfrmMailEntries : public TFrmPersistent
{
    Q_OBJECT

public:
    explicit TfrmMailEntries(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmMailEntries() override;

    // The files to attach, in order; the window does not own them.
    void SetAttachments(const QStringList& attachments);
    const QStringList& Attachments() const { return m_attachments; }
    bool Sent() const { return m_sent; }
    bool Sending() const { return m_sending; }

    // Shows the window modally (or hands it to ExecuteHook).
    int Run();
    static std::function<int(TfrmMailEntries& window)> ExecuteHook;
    // Where the account comes from; tests put their own server here.
    static std::function<std::optional<TSmtpAccount>(const TAppSettings& app, QString* error)> AccountSource;

    void btnSendClick();

    QComboBox* coTo;
    QComboBox* coCC;
    QComboBox* coBCC;
    QLineEdit* edSubject;
    QPlainTextEdit* meBody;
    QLabel* laAttachments;
    QPushButton* btnSend;
    QPushButton* btnCancel;
    QPushButton* btnSettings;
    QWidget* paStatus;
    QLabel* laStatus;
    QPlainTextEdit* meStatus;

protected:
    void FormShow() override;
    void FormDestroy() override;
    void reject() override;

private:
    void ReportError(const QString& message);

    QStringList m_attachments;
    bool m_sent = false;
    bool m_sending = false;
    std::atomic<bool> m_cancel{false};
};
