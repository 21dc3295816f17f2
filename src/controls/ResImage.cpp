#include "controls/ResImage.h"

#include "controls/ResPicture.h"

#include <QPainter>

TResImage::TResImage(QWidget* parent) : QWidget(parent)
{
}

void TResImage::SetResourceId(const QString& resourceId)
{
    m_resourceId = resourceId;
    m_picture = TResPicture::Load(resourceId);
    updateGeometry();
    update();
}

QSize TResImage::sizeHint() const
{
    return m_picture.isNull() ? QSize(18, 18) : m_picture.deviceIndependentSize().toSize() + QSize(2, 2);
}

void TResImage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(1, 1, m_picture);
}
