#include "controls/EllipsisLabel.h"

#include <QPainter>
#include <QStyle>

TEllipsisLabel::TEllipsisLabel(QWidget* parent) : TEllipsisLabel(QString(), parent)
{
}

TEllipsisLabel::TEllipsisLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
}

void TEllipsisLabel::SetShowEllipsis(bool show)
{
    if (show == m_showEllipsis)
        return;
    m_showEllipsis = show;
    update();
}

QString TEllipsisLabel::ShownText() const
{
    if (!m_showEllipsis)
        return text();
    const QString dots(DotCount, QLatin1Char('.'));
    return (alignment() & Qt::AlignRight) ? dots + text() : text() + dots;
}

void TEllipsisLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    int flags = int(QStyle::visualAlignment(layoutDirection(), alignment()));
    flags |= wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine;
    flags |= Qt::TextShowMnemonic;
    painter.setClipRect(area);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.setFont(font());
    // Qt would centre a line wider than the area on it; the caption has to
    // stay where the alignment puts it and only the dots run out of sight.
    const QFontMetrics metrics(font());
    QRect line = area;
    if (!wordWrap() && m_showEllipsis) {
        const int width = metrics.horizontalAdvance(ShownText());
        if (alignment() & Qt::AlignRight)
            line.setLeft(area.right() + 1 - width);
        else
            line.setWidth(width);
        flags = (flags & ~int(Qt::AlignHorizontal_Mask)) | (alignment() & Qt::AlignRight ? Qt::AlignRight : Qt::AlignLeft);
    }
    painter.drawText(line, flags, ShownText());
}
