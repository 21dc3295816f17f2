#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

// Asks for a new password of an entry, typed twice. "OK" with two different
// texts says so and stays open; two equal texts of blanks only keep it open
// without a word; otherwise the password is returned exactly as typed.
class TFrmPasswordProtect : public QDialog
{
    Q_OBJECT

public:
    static const QString MismatchText;

    explicit TFrmPasswordProtect(QWidget* parent = nullptr);

    // Shows the window modally (or hands it to ExecuteHook); nothing when cancelled.
    static std::optional<QString> AskNewPassword(QWidget* parent = nullptr);
    // Tests answer the window themselves: the hook returns its result.
    static inline std::function<int(TFrmPasswordProtect& window)> ExecuteHook;
    // The mismatch message; the windows install the desktop's message box.
    static inline std::function<void(const QString& text)> ShowWarning;

    QString Password() const;

    QLineEdit* edPassword;
    QLineEdit* edRetypePassword;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void btnOKClick();
};
