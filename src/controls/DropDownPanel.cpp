#include "controls/DropDownPanel.h"

#include "app/AppResources.h"

#include <QMouseEvent>
#include <QPainter>

TDropDownPanel::TDropDownPanel(QWidget* parent) : QFrame(parent)
{
    m_plus = TAppResources::Picture(QStringLiteral("BMP_PLUS_CYAN"));
    if (m_plus.isNull())
        m_plus = TAppResources::Picture(QStringLiteral("BMP_TREE_EXPAND"));
    m_minus = TAppResources::Picture(QStringLiteral("BMP_MINUS_CYAN"));
    if (m_minus.isNull())
        m_minus = TAppResources::Picture(QStringLiteral("BMP_TREE_COLLAPSE"));
    setMouseTracking(true);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ApplyHeight();
}

void TDropDownPanel::ApplyHeight()
{
    setFixedHeight(m_expanded || m_lockOpen ? m_heightExpanded : m_heightCollapsed);
    update();
}

void TDropDownPanel::SetExpanded(bool expanded)
{
    m_expanded = expanded;
    ApplyHeight();
}

void TDropDownPanel::SetHeightCollapsed(int height)
{
    m_heightCollapsed = qMax(0, height);
    ApplyHeight();
}

void TDropDownPanel::SetHeightExpanded(int height)
{
    m_heightExpanded = qMax(0, height);
    ApplyHeight();
}

void TDropDownPanel::SetLockOpen(bool lock)
{
    m_lockOpen = lock;
    ApplyHeight();
}

void TDropDownPanel::SetAllowClickOnWholeRow(bool allow)
{
    m_allowClickOnWholeRow = allow;
}

QRect TDropDownPanel::ToggleRect() const
{
    const int left = m_lockOpen ? 0 : 10;
    const int right = m_lockOpen ? 5 : 19;
    return QRect(left, (m_heightCollapsed - ToggleSize) / 2, right - left, ToggleSize);
}

QRect TDropDownPanel::HeaderArea() const
{
    if (m_allowClickOnWholeRow)
        return QRect(0, 0, width(), m_heightCollapsed);
    return ToggleRect();
}

bool TDropDownPanel::HeaderClick(const QPoint& at)
{
    if (m_lockOpen || !HeaderArea().contains(at))
        return false;
    SetExpanded(!m_expanded);
    if (m_expanded)
        emit OnExpand(this);
    else
        emit OnCollapse(this);
    return true;
}

void TDropDownPanel::mouseMoveEvent(QMouseEvent* event)
{
    const bool overHeader = !m_lockOpen && HeaderArea().contains(event->position().toPoint());
    setCursor(overHeader ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QFrame::mouseMoveEvent(event);
}

void TDropDownPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        HeaderClick(event->position().toPoint());
    QFrame::mouseReleaseEvent(event);
}

void TDropDownPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_lockOpen)
        return;
    QPainter painter(this);
    const QPixmap& picture = m_expanded ? m_minus : m_plus;
    const QRect toggle = ToggleRect();
    if (!picture.isNull()) {
        painter.drawPixmap(toggle.topLeft(), picture.scaled(toggle.size(), Qt::KeepAspectRatio));
        return;
    }
    // without the pictures: a boxed plus or minus
    painter.setPen(Qt::darkGray);
    painter.drawRect(toggle.adjusted(0, 0, -1, -1));
    const QPoint c = toggle.center();
    painter.drawLine(c.x() - 2, c.y(), c.x() + 2, c.y());
    if (!m_expanded)
        painter.drawLine(c.x(), c.y() - 2, c.x(), c.y() + 2);
}
