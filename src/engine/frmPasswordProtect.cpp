#include "engine/frmPasswordProtect.h"

#include "controls/ResBitBtn.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

const QString TFrmPasswordProtect::MismatchText =
    QStringLiteral("The passwords you have entered do not match. Please try again.");

TFrmPasswordProtect::TFrmPasswordProtect(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFrmPasswordProtect"));
    setWindowTitle(QStringLiteral("Password protection"));
    setModal(true);

    auto* laRequest = new QLabel(QStringLiteral("You have requested to password-protect this entry."), this);
    laRequest->setObjectName(QStringLiteral("laRequest"));
    QFont bold = laRequest->font();
    bold.setBold(true);
    laRequest->setFont(bold);
    auto* laNote = new QLabel(QStringLiteral("Please note that, in order to view this entry at a later time, you will "
                                             "be requested to provide this password, otherwise, the application will "
                                             "*NOT* allow you to view it."),
                              this);
    laNote->setObjectName(QStringLiteral("laNote"));
    laNote->setWordWrap(true);

    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edRetypePassword = new QLineEdit(this);
    edRetypePassword->setObjectName(QStringLiteral("edRetypePassword"));
    for (QLineEdit* edit : {edPassword, edRetypePassword}) {
        edit->setEchoMode(QLineEdit::Password);
        // "*" for each character, whatever the style's own mask is.
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Password:"), edPassword);
    fields->addRow(QStringLiteral("Retype password:"), edRetypePassword);

    btnOK = new TResBitBtn(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new TResBitBtn(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(laRequest);
    column->addWidget(laNote);
    column->addSpacing(8);
    column->addLayout(fields);
    column->addStretch(1);
    column->addLayout(buttons);
    resize(420, sizeHint().height());
}

QString TFrmPasswordProtect::Password() const
{
    return edPassword->text();
}

void TFrmPasswordProtect::btnOKClick()
{
    if (edPassword->text() != edRetypePassword->text()) {
        if (ShowWarning)
            ShowWarning(MismatchText);
        else
            QMessageBox::warning(this, windowTitle(), MismatchText);
        edPassword->setFocus();
        return;
    }
    if (edPassword->text().trimmed().isEmpty())
        return;
    accept();
}

std::optional<QString> TFrmPasswordProtect::AskNewPassword(QWidget* parent)
{
    TFrmPasswordProtect window(parent);
    const int result = ExecuteHook ? ExecuteHook(window) : window.exec();
    if (result != QDialog::Accepted)
        return std::nullopt;
    return window.Password();
}
