#include "controls/ResSpeedBtn3State.h"

#include "controls/PointerCrossing.h"
#include "controls/ResPicture.h"

#include <QPainter>

TResSpeedBtn3State::TResSpeedBtn3State(QWidget* parent) : QAbstractButton(parent)
{
    resize(16, 16);
    setAttribute(Qt::WA_Hover);
}

void TResSpeedBtn3State::SetBitmap(int state, const QString& resourceId)
{
    m_names[state] = resourceId;
    m_pictures[state] = TResPicture::Load(resourceId);
    update();
}

void TResSpeedBtn3State::SetBitmapNormal(const QString& resourceId)
{
    SetBitmap(0, resourceId);
}

void TResSpeedBtn3State::SetBitmapHighlighted(const QString& resourceId)
{
    SetBitmap(1, resourceId);
}

void TResSpeedBtn3State::SetBitmapDown(const QString& resourceId)
{
    SetBitmap(2, resourceId);
}

bool TResSpeedBtn3State::event(QEvent* event)
{
    if (const int crossing = PointerCrossing(event)) {
        m_hot = crossing > 0;
        // leaving ends a press as well: no pressed look stays behind
        if (!m_hot)
            setDown(false);
        update();
    }
    return QAbstractButton::event(event);
}

QPixmap TResSpeedBtn3State::Shown() const
{
    const QPixmap& picture = Pressed() ? m_pictures[2] : Hot() ? m_pictures[1] : m_pictures[0];
    return isEnabled() ? picture : TResPicture::Greyed(picture);
}

void TResSpeedBtn3State::paintEvent(QPaintEvent*)
{
    const QPixmap picture = Shown();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture);
}
