#pragma once

#include <QDialog>
#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class TdmMain;
struct TAppSettings;

// The e-mail settings: the sender, the SMTP server and how it is reached,
// the size limit and whether entries go as their archives. The password is
// written to the desktop's secret store, never to the settings tables.
class TMailSettingsPage : public QGroupBox
{
    Q_OBJECT

public:
    explicit TMailSettingsPage(QWidget* parent = nullptr);

    void LoadControls(const TAppSettings& app);
    // Takes the fields over into app. A password typed in the field is stored
    // for the user, host and port shown; the text is empty on success,
    // otherwise why the secret store refused (the other settings are taken
    // over all the same).
    QString SaveControls(TAppSettings& app);

    QLineEdit* edMailAddress;
    QLineEdit* edMailHost;
    QSpinBox* edMailPort;
    QComboBox* coMailSecurity;
    QLineEdit* edMailUserName;
    QLineEdit* edMailPassword;
    QLineEdit* edMailSizeLimit;
    QCheckBox* chMailAsZip;

private:
    bool m_passwordEdited = false;
};

// The e-mail settings in a window of their own, as the mail command opens
// them when the server or the sender is missing. Saving writes the settings
// store at once.
class TfrmMailSettings : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmMailSettings(TdmMain& dmMain, QWidget* parent = nullptr);

    TMailSettingsPage* Page() const { return gbMail; }
    void accept() override;

private:
    TdmMain& m_dmMain;
    TMailSettingsPage* gbMail;
};
