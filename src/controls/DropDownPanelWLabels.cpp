#include "controls/DropDownPanelWLabels.h"

#include "app/AppResources.h"
#include "controls/HoverHint.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

TDropDownPanelWLabels::TDropDownPanelWLabels(QWidget* parent) : TDropDownPanel(parent)
{
    m_collapse[0] = TAppResources::Picture(QStringLiteral("BMP_COLLAPSE_WHITE_NORMAL"));
    m_collapse[1] = TAppResources::Picture(QStringLiteral("BMP_COLLAPSE_WHITE_HIGHLIGHTED"));
    m_expand[0] = TAppResources::Picture(QStringLiteral("BMP_EXPAND_WHITE_NORMAL"));
    m_expand[1] = TAppResources::Picture(QStringLiteral("BMP_EXPAND_WHITE_HIGHLIGHTED"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 251, 240));
    setPalette(colours);
    setAutoFillBackground(true);
    ResetLabelFonts();
}

void TDropDownPanelWLabels::ResetLabelFonts()
{
    LabelFont = font();
    LabelHighlightFont = font();
    LabelHighlightFont.setUnderline(true);
    LabelClickedFont = font();
    LabelClickedFont.setBold(true);
    LabelDisabledFont = font();
    update();
}

void TDropDownPanelWLabels::changeEvent(QEvent* event)
{
    TDropDownPanel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        ResetLabelFonts();
}

void TDropDownPanelWLabels::SetLines(const QList<TDropDownLink>& lines)
{
    m_lines = lines;
    m_enabled = QList<bool>(m_lines.size(), true);
    m_highlighted = -1;
    m_clicked = -1;
    UpdateAutoHeight();
    update();
}

void TDropDownPanelWLabels::SetHeaderCaption(const QString& caption)
{
    m_headerCaption = caption;
    update();
}

void TDropDownPanelWLabels::SetHeaderColor(const QColor& colour)
{
    m_headerColor = colour;
    update();
}

void TDropDownPanelWLabels::SetFancierLook(bool fancier)
{
    m_fancierLook = fancier;
    update();
}

void TDropDownPanelWLabels::SetLabelSpacing(int spacing)
{
    m_labelSpacing = qMax(1, spacing);
    UpdateAutoHeight();
    update();
}

void TDropDownPanelWLabels::SetAutoHeight(bool autoHeight)
{
    m_autoHeight = autoHeight;
    UpdateAutoHeight();
}

void TDropDownPanelWLabels::SetShowClickedLabel(bool show)
{
    m_showClickedLabel = show;
    update();
}

void TDropDownPanelWLabels::UpdateAutoHeight()
{
    if (m_autoHeight)
        SetHeightExpanded(int(m_lines.size()) * m_labelSpacing + HeightCollapsed());
}

void TDropDownPanelWLabels::SetLabelEnabled(const QString& name, bool enabled)
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].Name != name)
            continue;
        if (m_enabled[i] != enabled) {
            m_enabled[i] = enabled;
            if (!enabled && m_highlighted == i)
                SetHighlighted(-1);
            update(LabelRow(i));
        }
        return;
    }
}

bool TDropDownPanelWLabels::LabelEnabled(const QString& name) const
{
    for (int i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].Name == name)
            return m_enabled[i];
    return false;
}

void TDropDownPanelWLabels::ClickLabel(const QString& name)
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].Name == name) {
            Click(i);
            return;
        }
    }
}

void TDropDownPanelWLabels::Click(int index)
{
    const int previous = m_clicked;
    m_clicked = index;
    if (previous >= 0)
        update(LabelRow(previous));
    update(LabelRow(index));
    // The enabled flag is not asked here: a disabled link's command is
    // disabled itself, and its owner runs it through that command.
    emit OnLabelClick(this, m_lines[index].Name, m_lines[index].Caption);
}

QRect TDropDownPanelWLabels::HeaderArea() const
{
    const int captionWidth = QFontMetrics(font()).horizontalAdvance(m_headerCaption);
    return QRect(0, 0, ToggleRect().right() + 1 + captionWidth + 25, HeightCollapsed());
}

QRect TDropDownPanelWLabels::LabelRow(int index) const
{
    return QRect(0, index * m_labelSpacing + HeightCollapsed(), width(), m_labelSpacing);
}

QRect TDropDownPanelWLabels::LabelRect(int index) const
{
    const int left = ToggleRect().right() + 1 + 15;
    const int right = QFontMetrics(FontOf(index)).horizontalAdvance(m_lines[index].Caption) + 45;
    const QRect row = LabelRow(index);
    return QRect(left, row.top(), qMax(0, right - left), row.height());
}

int TDropDownPanelWLabels::LabelAt(const QPoint& at) const
{
    if (!Expanded() && !LockOpen())
        return -1;
    for (int i = 0; i < m_lines.size(); ++i)
        if (LabelRect(i).contains(at) && LabelRow(i).bottom() < height())
            return i;
    return -1;
}

void TDropDownPanelWLabels::SetHighlighted(int index)
{
    if (index == m_highlighted)
        return;
    if (m_highlighted >= 0)
        update(LabelRow(m_highlighted));
    m_highlighted = index;
    if (index >= 0)
        update(LabelRow(index));
}

void TDropDownPanelWLabels::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const bool overHeader = !LockOpen() && HeaderArea().contains(at);
    if (overHeader != m_headerHot) {
        m_headerHot = overHeader;
        if (m_fancierLook)
            update(QRect(0, 0, 25, HeightCollapsed()));
    }
    const int index = LabelAt(at);
    if (index >= 0 && m_enabled[index]) {
        SetHighlighted(index);
        setCursor(Qt::PointingHandCursor);
        PublishHoverHint(this, m_lines[index].Hint);
    } else {
        SetHighlighted(-1);
        PublishHoverHint(this, QString());
        setCursor(overHeader ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
}

void TDropDownPanelWLabels::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (HeaderClick(at))
        return;
    const int index = LabelAt(at);
    if (index >= 0)
        Click(index);
}

void TDropDownPanelWLabels::leaveEvent(QEvent* event)
{
    TDropDownPanel::leaveEvent(event);
    if (m_headerHot) {
        m_headerHot = false;
        update(QRect(0, 0, 25, HeightCollapsed()));
    }
    SetHighlighted(-1);
}

const QFont& TDropDownPanelWLabels::FontOf(int index) const
{
    if (!m_enabled.value(index, true))
        return LabelDisabledFont;
    if (index == m_clicked && m_showClickedLabel)
        return LabelClickedFont;
    if (index == m_highlighted)
        return LabelHighlightFont;
    return LabelFont;
}

QColor TDropDownPanelWLabels::ColourOf(int index) const
{
    if (!m_enabled.value(index, true))
        return LabelDisabledColor;
    if (index == m_clicked && m_showClickedLabel)
        return LabelClickedColor;
    if (index == m_highlighted)
        return LabelHighlightColor;
    return LabelColor;
}

void TDropDownPanelWLabels::paintEvent(QPaintEvent* event)
{
    if (!m_fancierLook) {
        TDropDownPanel::paintEvent(event);
    }
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Window);
    const int headerBand = HeightCollapsed();
    if (m_fancierLook) {
        painter.fillRect(rect(), face);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QColor(192, 192, 192));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(QPointF(6, 6), QPointF(width() - 4, height() - 4)), 5, 5);
        painter.setPen(QColor(128, 128, 128));
        painter.setBrush(face);
        painter.drawRoundedRect(QRectF(QPointF(5, 5), QPointF(width() - 5, height() - 5)), 5, 5);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(QPointF(6, 6), QPointF(width() - 5, height() - 5)), 5, 5);
        painter.setClipPath(clip);
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QRect band(0, 0, width(), headerBand - 3);
        if (depth() > 23) {
            QLinearGradient gradient(band.topLeft(), band.topRight());
            gradient.setColorAt(0, m_headerColor);
            gradient.setColorAt(1, Qt::white);
            painter.fillRect(band, gradient);
        } else {
            painter.fillRect(band, m_headerColor);
        }
        if (!LockOpen()) {
            const QRect button = ToggleRect().adjusted(-1, -4, 1, -2);
            const QPixmap& picture = Expanded() ? m_collapse[m_headerHot ? 1 : 0] : m_expand[m_headerHot ? 1 : 0];
            if (!picture.isNull()) {
                painter.drawPixmap(button.topLeft(), picture);
            } else {
                // without the pictures: a round white button with a chevron
                painter.setRenderHint(QPainter::Antialiasing, true);
                const QRectF round = QRectF(button).adjusted(-2, -2, 2, 2);
                painter.setPen(m_headerHot ? QColor(255, 128, 0) : QColor(128, 128, 128));
                painter.setBrush(Qt::white);
                painter.drawEllipse(round);
                const QPointF c = round.center();
                const qreal d = Expanded() ? -1.5 : 1.5;
                painter.setPen(QPen(m_headerHot ? QColor(255, 128, 0) : QColor(64, 64, 64), 1.5));
                painter.drawPolyline(QPolygonF({QPointF(c.x() - 3, c.y() - d), QPointF(c.x(), c.y() + d),
                                                QPointF(c.x() + 3, c.y() - d)}));
                painter.setRenderHint(QPainter::Antialiasing, false);
            }
        }
    }
    // the caption, on one line in the header band
    const int captionLeft = ToggleRect().right() + 1 + 10 + (m_fancierLook ? 4 : 0);
    const QRect captionRect(captionLeft, 0, width() - captionLeft, m_fancierLook ? headerBand - 3 : headerBand);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(captionRect, Qt::AlignVCenter | Qt::AlignLeft,
                     QFontMetrics(font()).elidedText(m_headerCaption, Qt::ElideRight, captionRect.width()));
    if (!Expanded() && !LockOpen())
        return;
    // the links, each in its look
    for (int i = 0; i < m_lines.size(); ++i) {
        const QRect row = LabelRow(i);
        const int left = ToggleRect().right() + 1 + 15;
        const QRect textRect(left, row.top(), qMax(0, width() - left - 8), row.height());
        painter.setFont(FontOf(i));
        painter.setPen(ColourOf(i));
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                         QFontMetrics(FontOf(i)).elidedText(m_lines[i].Caption, Qt::ElideRight, textRect.width()));
    }
}
