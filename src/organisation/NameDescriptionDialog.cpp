#include "organisation/NameDescriptionDialog.h"

#include "app/IDesktop.h"
#include "controls/CommandButton.h"
#include "mainwindow/fMain.h"
#include "settings/dmMain.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

TNameDescriptionDialog::TNameDescriptionDialog(TdmMain& dmMain, int helpContext, const TNameDescriptionTexts& texts,
                                               QWidget* parent)
    : QDialog(parent), m_dmMain(dmMain), m_helpContext(helpContext), m_texts(texts)
{
    setObjectName(texts.objectName);
    setWindowTitle(texts.caption);
    setModal(true);

    edName = new QLineEdit(this);
    edName->setObjectName(QStringLiteral("edName"));
    edName->setStatusTip(texts.nameHint);
    edDescription = new QLineEdit(this);
    edDescription->setObjectName(QStringLiteral("edDescription"));
    edDescription->setStatusTip(texts.descriptionHint);
    btnOK = NewCommandButton(this, "btnOK", QStringLiteral("OK"), texts.okHint);
    btnOK->setDefault(true);
    btnOK->setAutoDefault(true);
    btnCancel = NewCommandButton(this, "btnCancel", QStringLiteral("Cancel"), texts.cancelHint);
    connect(btnOK, &QPushButton::clicked, this, &TNameDescriptionDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    auto* laName = new QLabel(QStringLiteral("Name"), this);
    laName->setObjectName(QStringLiteral("laName"));
    laName->setBuddy(edName);
    auto* laDescription = new QLabel(QStringLiteral("Description"), this);
    laDescription->setObjectName(QStringLiteral("laDescription"));
    laDescription->setBuddy(edDescription);
    fields->addRow(laName, edName);
    fields->addRow(laDescription, edDescription);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(fields);
    column->addStretch(1);
    column->addLayout(buttons);
    // The design's size, or what a larger font needs.
    const QSize needed = sizeHint();
    setFixedSize(std::max(420, needed.width()), std::max(130, needed.height()));

    QPalette own = palette();
    own.setColor(QPalette::Window, dmMain.Colour(csWindow));
    own.setColor(QPalette::WindowText, dmMain.Colour(csWindowText));
    setPalette(own);
    setAutoFillBackground(true);
    edName->setFocus();
}

void TNameDescriptionDialog::accept()
{
    // A name of blanks only is no name; the window simply stays.
    if (edName->text().trimmed().isEmpty()) {
        edName->setFocus();
        return;
    }
    if (edName->text().size() > MaxNameLength) {
        m_dmMain.Desktop().ShowMessage(m_texts.nameTooLong.arg(MaxNameLength).arg(edName->text().size()),
                                       IDesktop::TMsgKind::Warning);
        edName->setFocus();
        return;
    }
    if (edDescription->text().size() > MaxDescriptionLength) {
        m_dmMain.Desktop().ShowMessage(
            m_texts.descriptionTooLong.arg(MaxDescriptionLength).arg(edDescription->text().size()),
            IDesktop::TMsgKind::Warning);
        edDescription->setFocus();
        return;
    }
    Commit();
    QDialog::accept();
}

void TNameDescriptionDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        TfrmTessarynMain::OpenHelpPage(m_dmMain.Desktop(), m_helpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}
