#include "controls/RecordListGrid.h"

#include "controls/GradientFill.h"
#include "db/ClientRecordSet.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

TRecordListGrid::TRecordListGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

TRecordListGrid::~TRecordListGrid()
{
    SetSource(nullptr);
}

void TRecordListGrid::SetSource(ClientRecordSet* source)
{
    if (m_source)
        m_source->SetOnChange(nullptr);
    m_source = source;
    if (m_source)
        m_source->SetOnChange([this] { SourceChanged(); });
    if (!Updating())
        Resync();
}

void TRecordListGrid::SetTitle(const QString& title)
{
    m_title = title;
    UpdateScrollRange();
    viewport()->update();
}

void TRecordListGrid::SetColours(const QColor& grid, const QColor& highlightStart, const QColor& highlightEnd,
                                 const QColor& text)
{
    m_grid = grid;
    m_highlightStart = highlightStart;
    m_highlightEnd = highlightEnd;
    m_text = text;
    viewport()->update();
}

void TRecordListGrid::BeginUpdate()
{
    ++m_updateCount;
}

void TRecordListGrid::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        Resync();
}

void TRecordListGrid::Resync()
{
    UpdateScrollRange();
    ScrollToCurrent();
    viewport()->update();
    if (AfterScroll)
        AfterScroll();
}

void TRecordListGrid::SourceChanged()
{
    if (Updating())
        return;
    UpdateScrollRange();
    ScrollToCurrent();
    viewport()->update();
    if (OnRecordSetChanged)
        OnRecordSetChanged();
}

int TRecordListGrid::RowCount() const
{
    return m_source && m_source->Active() ? m_source->RecordCount() : 0;
}

int TRecordListGrid::CurrentRow() const
{
    if (Updating() || RowCount() == 0)
        return -1;
    return std::clamp(m_source->RecNo() - 1, 0, RowCount() - 1);
}

void TRecordListGrid::SetCurrentRow(int row)
{
    if (Updating() || row < 0 || row >= RowCount() || m_inSetRow)
        return;
    const bool moved = row != CurrentRow();
    m_inSetRow = true;
    m_source->SetRecNo(row + 1);
    m_inSetRow = false;
    ScrollToCurrent();
    viewport()->update();
    if (moved && AfterScroll)
        AfterScroll();
}

int TRecordListGrid::RowHeight() const
{
    return std::max(int(MinimumRowHeight), fontMetrics().height() + 2);
}

QRect TRecordListGrid::RowRect(int row) const
{
    return QRect(0, TitleHeight() + row * RowHeight() - verticalScrollBar()->value(), viewport()->width(),
                 RowHeight());
}

int TRecordListGrid::RowAt(int y) const
{
    const int content = y - TitleHeight() + verticalScrollBar()->value();
    if (y < TitleHeight() || content < 0)
        return -1;
    const int row = content / RowHeight();
    return row < RowCount() ? row : -1;
}

QString TRecordListGrid::RowText(int row) const
{
    if (row < 0 || row >= RowCount())
        return QString();
    const int field = m_source->FieldIndex(m_field);
    return field >= 0 ? m_source->ViewValue(row, field).toString() : QString();
}

void TRecordListGrid::UpdateScrollRange()
{
    QScrollBar* bar = verticalScrollBar();
    const int visible = std::max(0, viewport()->height() - TitleHeight());
    bar->setRange(0, std::max(0, RowCount() * RowHeight() - visible));
    bar->setSingleStep(RowHeight());
    bar->setPageStep(std::max(RowHeight(), visible));
}

void TRecordListGrid::ScrollToCurrent()
{
    const int row = CurrentRow();
    if (row < 0)
        return;
    QScrollBar* bar = verticalScrollBar();
    const int top = row * RowHeight(), visible = std::max(RowHeight(), viewport()->height() - TitleHeight());
    if (top < bar->value())
        bar->setValue(top);
    else if (top + RowHeight() > bar->value() + visible)
        bar->setValue(top + RowHeight() - visible);
}

void TRecordListGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), m_grid);
    painter.setPen(m_text);
    const int width = viewport()->width();
    if (!m_title.isEmpty()) {
        const QRect strip(0, 0, width, TitleHeight());
        painter.fillRect(strip, palette().button());
        painter.setPen(palette().buttonText().color());
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(strip.adjusted(TextLeft, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, m_title);
        painter.setFont(font());
        painter.setPen(m_text);
        painter.setClipRect(QRect(0, TitleHeight(), width, viewport()->height()));
    }
    if (RowCount() == 0) {
        if (!Updating())
            painter.drawText(QRect(1, TitleHeight() + 1, width - 1, RowHeight()), Qt::AlignLeft | Qt::AlignTop,
                             m_emptyText);
        return;
    }
    const int current = CurrentRow();
    for (int row = std::max(0, RowAt(std::max(event->rect().top(), TitleHeight()))); row >= 0 && row < RowCount();
         ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() > event->rect().bottom())
            break;
        if (row == current) {
            GradientFill(painter, rect, m_highlightStart, m_highlightEnd);
        }
        const QRect text = rect.adjusted(TextLeft, 0, -2, 0);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(RowText(row).simplified(), Qt::ElideRight, text.width()));
    }
}

void TRecordListGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TRecordListGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TRecordListGrid::keyPressEvent(QKeyEvent* event)
{
    const int rows = RowCount(), row = CurrentRow();
    const int page = std::max(1, (viewport()->height() - TitleHeight()) / RowHeight() - 1);
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Up: target = row - 1; break;
    case Qt::Key_Down: target = row + 1; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = rows - 1; break;
    case Qt::Key_PageUp: target = std::max(0, row - page); break;
    case Qt::Key_PageDown: target = std::min(rows - 1, row + page); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (OnDoubleClick && row >= 0) {
            OnDoubleClick();
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (target >= 0 && target < rows)
        SetCurrentRow(target);
}

void TRecordListGrid::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const int row = RowAt(event->position().toPoint().y());
    if (row >= 0)
        SetCurrentRow(row);
    QAbstractScrollArea::mousePressEvent(event);
}

void TRecordListGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int row = RowAt(event->position().toPoint().y());
    if (row >= 0)
        SetCurrentRow(row);
    if (row >= 0 && OnDoubleClick)
        OnDoubleClick();
    else
        QAbstractScrollArea::mouseDoubleClickEvent(event);
}
