#pragma once

#include "controls/BGroupBox.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
struct TAppSettings;

// The e-mail settings: the sender, the SMTP server and how it is reached,
// the size limit and whether entries go as their archives. The password is
// written to the desktop's secret store, never to the settings tables.
class TMailSettingsPage : public TBGroupBox
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
