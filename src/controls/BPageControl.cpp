#include "controls/BPageControl.h"

#include "controls/BTreeView.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
const QColor kOutline(128, 128, 128);
const QColor kShadow(192, 192, 192);
} // namespace

TBTabBar::TBTabBar(QWidget* parent) : QTabBar(parent)
{
    FontActiveTab = font();
    FontInactiveTab = font();
    setMouseTracking(true);
    setDrawBase(false);
    setExpanding(false);
}

void TBTabBar::SetHotTab(int index)
{
    if (index == m_hotTab)
        return;
    m_hotTab = index;
    repaint();
}

void TBTabBar::mouseMoveEvent(QMouseEvent* event)
{
    QTabBar::mouseMoveEvent(event);
    SetHotTab(tabAt(event->position().toPoint()));
}

void TBTabBar::leaveEvent(QEvent* event)
{
    QTabBar::leaveEvent(event);
    SetHotTab(-1);
}

void TBTabBar::mousePressEvent(QMouseEvent* event)
{
    QTabBar::mousePressEvent(event);
    repaint();
}

void TBTabBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (currentIndex() < 0) {
        painter.end();
        QTabBar::paintEvent(nullptr);
        return;
    }
    for (int i = 0; i < count(); ++i)
        if (i != currentIndex() && isTabVisible(i))
            DrawTab(painter, i, false);
    DrawTab(painter, currentIndex(), true);
}

void TBTabBar::DrawTab(QPainter& painter, int index, bool active)
{
    const QRect r = tabRect(index);
    if (r.isEmpty())
        return;
    const int L = r.left();
    const int Tt = r.top();
    const int Rt = r.right();
    const int B = r.bottom() + 1;
    QColor top = ColorInactiveTop;
    QColor bottom = ColorInactiveBottom;
    int offset = 2;
    if (active || index == m_hotTab) {
        top = ColorActiveTop;
        bottom = ColorActiveBottom;
    }
    if (active)
        offset = 0;
    const QColor control = parentWidget() ? parentWidget()->palette().color(QPalette::Window)
                                          : palette().color(QPalette::Window);
    painter.fillRect(QRect(L, Tt, Rt + 1 - L + 1, B - Tt), control);
    const int T2 = Tt + offset;
    TBTreeView::GradientFill(painter, QRect(L + 1, T2 + 1, Rt - L, B - 1 - T2), top, bottom);
    painter.setPen(kOutline);
    painter.drawLine(L, B - 1, L, T2 + 2);
    painter.drawLine(L, T2 + 2, L + 2, T2);
    painter.drawLine(L + 2, T2, Rt - 2, T2);
    painter.drawLine(Rt - 1, T2 + 1, Rt, T2 + 2);
    painter.drawLine(Rt, T2 + 2, Rt, B - 1);
    if (!active)
        painter.drawLine(Rt, B - 1, L, B - 1);
    painter.setFont(active ? FontActiveTab : FontInactiveTab);
    const QColor fontColour = active ? FontActiveTabColor : FontInactiveTabColor;
    painter.setPen(!isTabEnabled(index)   ? palette().color(QPalette::Disabled, QPalette::WindowText)
                   : fontColour.isValid() ? fontColour
                                          : palette().color(QPalette::WindowText));
    painter.drawText(QRect(L, Tt + offset, Rt - L, B - Tt), Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                     tabText(index));
}

TBPageControl::TBPageControl(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new TBTabBar(this));
    Bar()->FontActiveTab = font();
    Bar()->FontInactiveTab = font();
}

void TBPageControl::Repaint()
{
    Bar()->update();
    update();
}

void TBPageControl::SetColorActiveTop(const QColor& colour)
{
    Bar()->ColorActiveTop = colour;
    Repaint();
}

void TBPageControl::SetColorActiveBottom(const QColor& colour)
{
    Bar()->ColorActiveBottom = colour;
    Repaint();
}

void TBPageControl::SetColorInactiveTop(const QColor& colour)
{
    Bar()->ColorInactiveTop = colour;
    Repaint();
}

void TBPageControl::SetColorInactiveBottom(const QColor& colour)
{
    Bar()->ColorInactiveBottom = colour;
    Repaint();
}

void TBPageControl::SetFontActiveTab(const QFont& font)
{
    Bar()->FontActiveTab = font;
    Repaint();
}

void TBPageControl::SetFontInactiveTab(const QFont& font)
{
    Bar()->FontInactiveTab = font;
    Repaint();
}

void TBPageControl::SetFontColors(const QColor& active, const QColor& inactive)
{
    Bar()->FontActiveTabColor = active;
    Bar()->FontInactiveTabColor = inactive;
    Repaint();
}

int TBPageControl::PageAreaTop() const
{
    // The inactive tabs' bottom line and the frame's top line share a row;
    // the active tab's gradient covers it, so the tab stays open to its page.
    return tabBar()->geometry().bottom();
}

void TBPageControl::paintEvent(QPaintEvent* event)
{
    if (currentIndex() < 0) {
        QTabWidget::paintEvent(event);
        return;
    }
    QPainter p(this);
    const QRect c = rect();
    const int left = c.left();
    const int right = c.right() + 1;
    const int bottom = c.bottom() + 1;
    const int y0 = PageAreaTop();
    p.fillRect(c, palette().color(QPalette::Window));
    p.setPen(kShadow);
    p.drawLine(left, bottom - 1, right, bottom - 1);
    p.drawLine(right - 1, bottom - 1, right - 1, y0);
    p.setBrush(Qt::NoBrush);
    const auto outline = [&p](int l, int t, int r, int b) { p.drawRect(l, t, r - l - 1, b - t - 1); };
    p.setPen(kOutline);
    outline(left, y0, right - 1, bottom - 1);
    p.setPen(Bar()->ColorActiveBottom);
    outline(left + 1, y0 + 1, right - 2, bottom - 2);
    outline(left + 2, y0 + 2, right - 3, bottom - 3);
}
