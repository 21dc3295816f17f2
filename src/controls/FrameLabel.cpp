#include "controls/FrameLabel.h"

#include "controls/GradientFill.h"

#include <QPainter>

const QColor TFrameLabel::DefaultColor = QColor(166, 202, 240);
const QColor TFrameLabel::DefaultFontColor = QColor(0, 0, 128);

TFrameLabel::TFrameLabel(QWidget* parent) : TFrameLabel(QString(), parent)
{
}

TFrameLabel::TFrameLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(QLabel::font().pointSizeF());
    font.setBold(true);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, DefaultColor);
    colours.setColor(QPalette::WindowText, DefaultFontColor);
    setPalette(colours);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor TFrameLabel::Color() const
{
    return palette().color(QPalette::Window);
}

void TFrameLabel::SetColor(const QColor& colour)
{
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colour);
    setPalette(colours);
    update();
}

void TFrameLabel::SetFrameWidth(int width)
{
    m_frameWidth = std::max(0, width);
    update();
}

void TFrameLabel::SetFrameColor(const QColor& colour)
{
    m_frameColor = colour;
    update();
}

void TFrameLabel::SetMargin(int margin)
{
    m_margin = margin;
    update();
}

void TFrameLabel::SetFadeSpeed(int speed)
{
    m_fadeSpeed = speed;
    update();
}

QColor TFrameLabel::FadedColor() const
{
    return m_fadeSpeed >= 0 ? LightenColour(Color(), m_fadeSpeed & 0xFF) : DarkenColour(Color(), (-m_fadeSpeed) & 0xFF);
}

void TFrameLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect client = rect();
    GradientFill(painter, client, Color(), FadedColor());

    if (m_frameWidth > 0) {
        QPen pen(m_frameColor);
        pen.setWidth(m_frameWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // the whole line inside the label, however wide
        const int inset = m_frameWidth / 2;
        const int shrink = (m_frameWidth + 1) / 2;
        painter.drawRect(client.adjusted(inset, inset, -shrink, -shrink));
    }

    const QRect area = client.adjusted(2 * m_margin, 0, -2 * m_margin, 0);
    if (area.width() <= 0)
        return;
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    const QFontMetrics metrics(font());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect measured = metrics.boundingRect(area, int(horizontal | Qt::TextWordWrap), text());
    if (measured.height() < client.height()) {
        const int down = (client.bottom() - measured.bottom()) / 2;
        painter.drawText(area.translated(0, down), int(horizontal | Qt::AlignTop | Qt::TextWordWrap), text());
    } else {
        painter.drawText(area, int(horizontal | Qt::AlignVCenter | Qt::TextSingleLine),
                         metrics.elidedText(text(), Qt::ElideRight, area.width()));
    }
}
