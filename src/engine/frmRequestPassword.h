#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password of a protected entry before its files are unpacked.
//
// The window keeps no placement of its own and builds everything in
// BuildControls, so the persistent window base can replace QDialog as the
// base class without changes to the rest of this class.
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
