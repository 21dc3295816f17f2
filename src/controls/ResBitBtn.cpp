#include "controls/ResBitBtn.h"

#include "controls/CommandButton.h"
#include "controls/PointerCrossing.h"
#include "controls/GradientFill.h"
#include "controls/ResPicture.h"

#include <QPainter>

TResBitBtn::TResBitBtn(QWidget* parent) : TResBitBtn(QString(), parent)
{
}

TResBitBtn::TResBitBtn(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    resize(DefaultWidth, height());
    setAttribute(Qt::WA_Hover);
    // Until a picture is chosen, the button's role (its name) gives it one.
    connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
        if (!m_resourceChosen)
            LoadPicture(CommandButtonPicture(name));
    });
}

void TResBitBtn::SetResourceId(const QString& resourceId)
{
    m_resourceChosen = true;
    LoadPicture(resourceId);
}

void TResBitBtn::LoadPicture(const QString& resourceId)
{
    m_resourceId = resourceId;
    m_picture = TResPicture::Load(resourceId);
    updateGeometry();
    update();
}

void TResBitBtn::SetAlignment(int alignment)
{
    m_alignment = std::clamp(alignment, 0, 2);
    update();
}

void TResBitBtn::SetMargin(int margin)
{
    m_margin = margin;
    update();
}

void TResBitBtn::SetHideBorderOnExit(bool hide)
{
    m_hideBorderOnExit = hide;
    update();
}

bool TResBitBtn::event(QEvent* event)
{
    if (const int crossing = PointerCrossing(event)) {
        m_hot = crossing > 0;
        update();
    }
    return QPushButton::event(event);
}

QSize TResBitBtn::sizeHint() const
{
    // what the platform's button needs, and room for the picture
    const QSize base = QPushButton::sizeHint();
    if (m_picture.isNull())
        return base;
    return QSize(base.width() + m_picture.width() + 6, std::max(base.height(), m_picture.height() + 8));
}

QRect TResBitBtn::PictureRect() const
{
    if (m_picture.isNull() || (!isEnabled() && TResPicture::IsIconName(m_resourceId)))
        return QRect();
    const QSize size = m_picture.size();
    const int captionWidth = QFontMetrics(font()).horizontalAdvance(text());
    const int x = m_alignment == 0 ? EffectiveMargin() : (width() - captionWidth - size.width() - 12) / 2;
    return QRect(QPoint(x, (height() - size.height()) / 2), size);
}

QRect TResBitBtn::CaptionRect() const
{
    const QRect picture = PictureRect();
    if (!picture.isNull())
        return QRect(picture.right() + 1 + 6, 0, std::max(0, width() - picture.right() - 7), height());
    if (m_alignment == 0)
        return QRect(EffectiveMargin(), 0, std::max(0, width() - EffectiveMargin()), height());
    return rect();
}

void TResBitBtn::DrawFrame(QPainter& painter, bool pressed) const
{
    // lines run along the outermost pixels; an outlined rectangle covers
    // one pixel more than the one it is given
    const QRect r = rect();
    const QRect outline = r.adjusted(0, 0, -1, -1);
    const QColor grey(128, 128, 128);
    if (!isFlat()) {
        if (pressed) {
            painter.setPen(Qt::black);
            painter.drawRect(outline);
            painter.setPen(grey);
            painter.drawRect(outline.adjusted(1, 1, -1, -1));
        } else {
            painter.setPen(Qt::white);
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(Qt::black);
            painter.drawLine(r.topRight(), r.bottomRight());
            painter.drawLine(r.bottomLeft(), r.bottomRight());
        }
    } else {
        painter.setPen(Qt::black);
        painter.drawRect(outline);
        const QRect inner = r.adjusted(1, 1, -1, -1);
        painter.setPen(pressed ? grey : QColor(Qt::white));
        painter.drawLine(inner.topLeft(), inner.topRight());
        painter.drawLine(inner.topLeft(), inner.bottomLeft());
        if (!pressed) {
            painter.setPen(grey);
            painter.drawLine(inner.topRight(), inner.bottomRight());
            painter.drawLine(inner.bottomLeft(), inner.bottomRight());
        }
    }
    if (!pressed && hasFocus() && (focusPolicy() & Qt::TabFocus)) {
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(outline.adjusted(2, 2, -2, -2));
    }
}

void TResBitBtn::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool hot = Hot();
    const bool pressed = Pressed();
    if (!m_hideBorderOnExit || hot) {
        GradientFill(painter, rect(), hot ? QColor(249, 249, 238) : QColor(236, 233, 216),
                     hot ? QColor(192, 192, 175) : QColor(172, 172, 165));
        DrawFrame(painter, pressed);
    }
    if (pressed)
        painter.translate(1, isFlat() ? 2 : 1);

    const QRect picture = PictureRect();
    if (!picture.isNull())
        painter.drawPixmap(picture.topLeft(), isEnabled() ? m_picture : TResPicture::Greyed(m_picture));

    const bool leftAligned = m_alignment == 0 || (m_alignment == 2 && !picture.isNull());
    painter.setPen(!isEnabled() ? QColor(164, 164, 164) : hot ? QColor(0, 0, 128) : QColor(Qt::black));
    painter.setFont(font());
    painter.drawText(CaptionRect(),
                     int(leftAligned ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter | Qt::TextSingleLine |
                         Qt::TextShowMnemonic,
                     text());
}
