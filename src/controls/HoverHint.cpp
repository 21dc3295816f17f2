#include "controls/HoverHint.h"

#include <QApplication>
#include <QStatusTipEvent>
#include <QWidget>

void PublishHoverHint(QWidget* control, const QString& hint)
{
    if (control->statusTip() == hint)
        return;
    control->setStatusTip(hint);
    if (control->underMouse() && control->parentWidget()) {
        QStatusTipEvent tip(hint);
        QApplication::sendEvent(control->parentWidget(), &tip);
    }
}
