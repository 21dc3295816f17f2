#include "controls/PointerCrossing.h"

#include <QEvent>

int PointerCrossing(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::Enter:
        return 1;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        return -1;
    default:
        return 0;
    }
}
