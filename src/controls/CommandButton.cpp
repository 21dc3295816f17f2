#include "controls/CommandButton.h"

#include "controls/ResBitBtn.h"

QPushButton* NewCommandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* button = new TResBitBtn(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setStatusTip(hint);
    button->setToolTip(hint);
    button->setAutoDefault(false);
    return button;
}
