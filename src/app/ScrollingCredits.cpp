#include "app/ScrollingCredits.h"

#include <QPainter>
#include <QTimer>

TScrollingCredits::TScrollingCredits(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(StepMs);
    connect(m_timer, &QTimer::timeout, this, &TScrollingCredits::Step);
}

void TScrollingCredits::SetCredits(const QString& markup)
{
    m_lines.clear();
    for (const QString& raw : markup.split(QLatin1Char('\n'))) {
        TLine line;
        line.text = raw;
        if (raw.startsWith(QLatin1String("[b]"))) {
            line.bold = true;
            line.text = raw.mid(3);
        } else if (raw.startsWith(QLatin1String("[c]"))) {
            line.accent = true;
            line.text = raw.mid(3);
        }
        m_lines.append(line);
    }
    update();
}

void TScrollingCredits::Start()
{
    m_timer->start();
}

void TScrollingCredits::Stop()
{
    m_timer->stop();
}

bool TScrollingCredits::IsScrolling() const
{
    return m_timer->isActive();
}

void TScrollingCredits::Step()
{
    ++m_offset;
    // gone past the top: come in again from the bottom
    if (m_offset > height() + int(m_lines.size()) * LineSpacing)
        m_offset = 0;
    update();
}

void TScrollingCredits::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont normal = font();
    QFont bold = normal;
    bold.setBold(true);
    int top = height() - m_offset;
    for (const TLine& line : m_lines) {
        if (top > -LineSpacing && top < height()) {
            p.setFont(line.bold ? bold : normal);
            p.setPen(line.accent ? m_accent : palette().color(QPalette::WindowText));
            p.drawText(QRect(0, top, width(), LineSpacing), Qt::AlignHCenter | Qt::AlignVCenter, line.text);
        }
        top += LineSpacing;
    }
}
