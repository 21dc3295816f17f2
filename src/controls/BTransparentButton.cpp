#include "controls/BTransparentButton.h"

#include "controls/PointerCrossing.h"
#include "controls/ResPicture.h"

#include <QPainter>

const QColor TBTransparentButton::BracketColor = QColor(222, 3, 3);

TBTransparentButton::TBTransparentButton(QWidget* parent) : QToolButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setAutoRaise(true);
}

void TBTransparentButton::SetResourceId(const QString& resourceId)
{
    m_resourceId = resourceId;
    m_picture = TResPicture::Load(resourceId);
    update();
}

bool TBTransparentButton::event(QEvent* event)
{
    if (const int crossing = PointerCrossing(event)) {
        m_hot = crossing > 0;
        update();
    }
    return QToolButton::event(event);
}

QPixmap TBTransparentButton::Shown() const
{
    QPixmap picture = m_picture;
    if (picture.isNull() && !icon().isNull())
        picture = icon().pixmap(iconSize(), devicePixelRatio());
    return isEnabled() ? picture : TResPicture::Greyed(picture);
}

void TBTransparentButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap picture = Shown();
    const int shift = Pressed() ? 1 : 0;
    if (!picture.isNull()) {
        const QSize size = picture.deviceIndependentSize().toSize();
        painter.drawPixmap((width() - size.width()) / 2 + shift, (height() - size.height()) / 2 + shift, picture);
    }
    if (!Hot() && !Pressed())
        return;
    const int inset = Pressed() ? 2 : 0;
    const QRect r = rect().adjusted(inset, inset, -inset, -inset);
    const int n = BracketLength - 1;
    painter.setPen(BracketColor);
    const QPoint corners[] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
    for (const QPoint& corner : corners) {
        const int dx = corner.x() == r.left() ? n : -n;
        const int dy = corner.y() == r.top() ? n : -n;
        painter.drawLine(corner, corner + QPoint(dx, 0));
        painter.drawLine(corner, corner + QPoint(0, dy));
    }
}
