#include "engine/frmQuickNote.h"

#include "controls/ResBitBtn.h"
#include "engine/EventAssistant.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

TFrmQuickNote::TFrmQuickNote(TdmMain& dmMain, QWidget* parent) : TFrmPersistent(dmMain, parent)
{
    setObjectName(QStringLiteral("TFrmQuickNote"));
    BuildControls();
}

bool TFrmQuickNote::Execute(TdmMain& dmMain, QWidget* parent)
{
    TFrmQuickNote form(dmMain, parent);
    return form.exec() == QDialog::Accepted;
}

QString TFrmQuickNote::Text() const
{
    // The field separates its lines with LF alone.
    return meText->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

void TFrmQuickNote::done(int result)
{
    if (result == QDialog::Accepted)
        TEventAssistant::PutTextOnClipboard(Text());
    TFrmPersistent::done(result);
}

bool TFrmQuickNote::FormKeyDown(QKeyEvent* event)
{
    if (TFrmPersistent::FormKeyDown(event))
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers != Qt::ControlModifier
        || (key != Qt::Key_S && key != Qt::Key_Return && key != Qt::Key_Enter))
        return false;
    // Return alone is a line break in the note; with Ctrl it is the window's.
    if (btnSave->isEnabled())
        btnSave->click();
    return true;
}

void TFrmQuickNote::BuildControls()
{
    setWindowTitle(QStringLiteral("Enter a \"Quick Note\""));
    setModal(true);

    meText = new QPlainTextEdit(this);
    meText->setObjectName(QStringLiteral("meText"));
    meText->setStatusTip(QStringLiteral("Type the text for the \"Quick note\" you wish to create"));
    meText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    meText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    meText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves on to the buttons, as in the program's other text fields.
    meText->setTabChangesFocus(true);
    connect(meText, &QPlainTextEdit::textChanged, this, &TFrmQuickNote::meTextChange);

    btnSave = new TResBitBtn(QStringLiteral("Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new TResBitBtn(QStringLiteral("Exit"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Return belongs to the text: a note has several lines.
    btnSave->setAutoDefault(false);
    btnCancel->setAutoDefault(false);
    connect(btnSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 10, 10, 10);
    root->setSpacing(8);
    root->addWidget(meText, 1);
    root->addLayout(buttons);

    // Room for a few lines of about sixty characters.
    const QFontMetrics metrics(meText->font());
    resize(metrics.averageCharWidth() * 64 + 40, metrics.lineSpacing() * 12 + 60);

    meTextChange();
    meText->setFocus();
}

void TFrmQuickNote::meTextChange()
{
    btnSave->setEnabled(!meText->toPlainText().trimmed().isEmpty());
}
