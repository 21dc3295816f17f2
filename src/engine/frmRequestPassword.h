#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class ISettingsManager;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password of a protected entry before its files are unpacked.
//
// The window remembers where the user put it, as the persistent windows do,
// in the settings store the program installs (PlacementSettings); without
// one it opens centred on its parent.
class TFrmRequestPassword : public QDialog
{
    Q_OBJECT

public:
    TFrmRequestPassword(int code, const QString& title, QWidget* parent = nullptr);

    // Shows the window modally. Returns the text exactly as typed (blanks
    // kept: a password may begin or end with one), or nothing when cancelled.
    static std::optional<QString> RequestEntryPassword(int code, const QString& title,
                                                       QWidget* parent = nullptr);

    QString Password() const;

    static inline ISettingsManager* PlacementSettings = nullptr;

private:
    void BuildControls();
    static QPixmap LockPicture(int size, qreal devicePixelRatio);

    int m_code;
    QString m_title;

    QLabel* imLock = nullptr;
    QLabel* laInfo = nullptr;
    QLabel* laEntry = nullptr;
    QLineEdit* edPassword = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};
