#include "controls/GradientFill.h"

#include <QPainter>
#include <QRect>
#include <algorithm>
#include <cmath>

void GradientFill(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end,
                  Qt::Orientation direction)
{
    if (rect.isEmpty())
        return;
    if (start.rgb() == end.rgb()) {
        painter.fillRect(rect, start);
        return;
    }
    const bool vertical = direction == Qt::Vertical;
    const int n = vertical ? rect.height() : rect.width();
    const int plain = n <= 14 ? n / 4 : 0;
    const auto channel = [n](int from, int to, int i) { return int(std::lround(from + double(i) * (to - from) / n)); };
    for (int i = 1; i <= n; ++i) {
        const QColor c = i <= plain ? start
                                    : QColor(channel(start.red(), end.red(), i), channel(start.green(), end.green(), i),
                                             channel(start.blue(), end.blue(), i));
        const QRect line = vertical ? QRect(rect.left(), rect.top() + i - 1, rect.width(), 1)
                                    : QRect(rect.left() + i - 1, rect.top(), 1, rect.height());
        painter.fillRect(line, c);
    }
}

QColor LightenColour(const QColor& colour, int n)
{
    return QColor(std::min(colour.red() + n, 255), std::min(colour.green() + n, 255), std::min(colour.blue() + n, 255));
}

QColor DarkenColour(const QColor& colour, int n)
{
    return QColor(std::max(colour.red() - n, 0), std::max(colour.green() - n, 0), std::max(colour.blue() - n, 0));
}

int Luminance(const QColor& colour)
{
    return (77 * colour.red() + 145 * colour.green() + 29 * colour.blue()) / 256;
}
