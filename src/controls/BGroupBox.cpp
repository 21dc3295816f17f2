#include "controls/BGroupBox.h"

#include "app/IDesktop.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <cmath>

const QString TBGroupBox::CurveRadiusText = QStringLiteral("CurveRadius must be between 0 and 16");

TBGroupBox::TBGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent)
{
    m_tabFont = QWidget::font();
    m_tabFontColor = palette().color(QPalette::WindowText);
    // The box paints its own colour inside the frame and the parent's
    // outside it.
    setAutoFillBackground(false);
    UpdateMargins();
}

void TBGroupBox::SetBorderColor(const QColor& colour)
{
    m_borderColor = colour;
    update();
}

void TBGroupBox::SetCurveRadius(int radius)
{
    if (radius < 0 || radius > 16) {
        if (m_desktop)
            m_desktop->ShowMessage(CurveRadiusText, IDesktop::TMsgKind::Information);
        return;
    }
    m_curveRadius = radius;
    UpdateMargins();
    update();
}

void TBGroupBox::SetDrawTab(bool drawTab)
{
    m_drawTab = drawTab;
    UpdateMargins();
    update();
}

void TBGroupBox::SetTabFont(const QFont& font)
{
    m_tabFont = font;
    UpdateMargins();
    update();
}

void TBGroupBox::SetTabFontColor(const QColor& colour)
{
    m_tabFontColor = colour;
    update();
}

void TBGroupBox::ApplyWindowLook()
{
    m_borderColor = QColor(128, 128, 128);
    m_curveRadius = 10;
    m_drawTab = true;
    QFont font = QWidget::font();
    font.setBold(true);
    m_tabFont = font;
    m_tabFontColor = QColor(0, 128, 192);
    UpdateMargins();
    update();
}

int TBGroupBox::TabHeight() const
{
    return int(std::lround(QFontMetrics(m_tabFont).height() * 1.8));
}

int TBGroupBox::FrameTop() const
{
    return std::max(TabHeight() / 2 - 1, m_curveRadius);
}

QRect TBGroupBox::TabRect() const
{
    const int w = QFontMetrics(m_tabFont).horizontalAdvance(title());
    // (left, top, right, bottom) as QRect's exclusive right and bottom
    if (m_drawTab)
        return QRect(QPoint(0, 0), QPoint(w + m_curveRadius - 1, TabHeight() - 1));
    return QRect(QPoint(8, 0), QPoint(8 + w + 6 - 1, 2 * FrameTop() - 1));
}

void TBGroupBox::UpdateMargins()
{
    // Children start below the tab, or below the caption in the top line.
    const int top = std::max(TabHeight(), FrameTop()) + 4;
    const int side = std::max(6, m_curveRadius / 2 + 2);
    setContentsMargins(side, top, side, side);
}

bool TBGroupBox::event(QEvent* event)
{
    const bool handled = QGroupBox::event(event);
    // The group box works out its margins from the style's caption on these
    // events; ours are the tab's.
    switch (event->type()) {
    case QEvent::StyleChange:
    case QEvent::FontChange:
    case QEvent::Polish:
    case QEvent::Show:
        UpdateMargins();
        break;
    default:
        break;
    }
    return handled;
}

void TBGroupBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int W = width();
    const int H = height();
    const int R = m_curveRadius;
    const int T = FrameTop();
    const QRect tab = TabRect();
    const int X = tab.right() + 1;
    const QColor parentColour =
        parentWidget() ? parentWidget()->palette().color(parentWidget()->backgroundRole()) : palette().window().color();
    const QColor boxColour = palette().color(backgroundRole());
    const auto fill = [&p](int l, int t, int r, int b, const QColor& c) {
        if (r > l && b > t)
            p.fillRect(QRect(l, t, r - l, b - t), c);
    };

    // Outside the rounded shapes the parent shows through.
    if (m_drawTab) {
        fill(0, 0, R, R, parentColour);
        fill(X - R, 0, X, R, parentColour);
        fill(X, 0, W, T, parentColour);
    } else {
        fill(0, T, R, T + R, parentColour);
        fill(0, 0, W, T, parentColour);
    }
    fill(W - R, R, W, 2 * R, parentColour);
    fill(W - R, H - R, W, H, parentColour);
    fill(0, H - R, R, H, parentColour);

    // The cut-outs that join tab and frame (or open the gap for the caption)
    // are left out while the outlines are drawn, then filled.
    QRect a;
    QRect b;
    if (m_drawTab) {
        a = QRect(QPoint(1, T - 1), QPoint(X - 2, T + R + 4));
        b = QRect(QPoint(1, T + 1), QPoint(X, T + R + 4));
    } else {
        a = QRect(QPoint(8, 0), QPoint(X - 2, T));
    }
    QRegion clip(rect());
    clip -= QRegion(a);
    clip -= QRegion(b);
    p.setClipRegion(clip);
    // Crisp one-pixel lines, as the frame of the other controls.
    p.setPen(QPen(m_borderColor, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(boxColour);
    const qreal radius = R / 2.0;
    if (m_drawTab)
        p.drawRoundedRect(tab.adjusted(0, 0, -1, -1), radius, radius);
    p.drawRoundedRect(QRect(0, T, W - 1, H - T - 1), radius, radius);
    p.setClipping(false);
    p.fillRect(a, boxColour);
    if (!b.isEmpty())
        p.fillRect(b, boxColour);
    if (m_drawTab)
        p.drawLine(0, R, 0, T + R);

    p.setFont(m_tabFont);
    p.setPen(isEnabled() ? m_tabFontColor : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(tab.adjusted(0, 0, 0, -2), Qt::AlignCenter | Qt::TextSingleLine, title());
}
