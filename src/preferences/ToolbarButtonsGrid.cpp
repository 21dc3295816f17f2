#include "preferences/ToolbarButtonsGrid.h"

#include "mainwindow/ToolbarCatalogue.h"

#include "app/AppResources.h"
#include "controls/BTreeView.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

namespace {
const QString kRowMime = QStringLiteral("application/x-tessaryn-toolbar-row");
const QColor kCream(255, 251, 240);

QPixmap Transparent(QPixmap picture)
{
    if (!picture.isNull())
        picture.setMask(picture.createMaskFromColor(TAppResources::TransparentColor()));
    return picture;
}
} // namespace

TToolbarButtonsGrid::TToolbarButtonsGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, kCream);
    viewport()->setPalette(p);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_check = TAppResources::Picture(QStringLiteral("BMP_CHECK_GREEN_16"));
    if (m_check.isNull())
        m_check = TAppResources::Picture(QStringLiteral("BMP_OK"));
    m_check = Transparent(m_check);
    m_highlightStart = TdmMain::Lighten(QColor(0xAF, 0xB9, 0xC3), 16);
    m_highlightEnd = TdmMain::Lighten(TdmMain::Lighten(QColor(0xAF, 0xB9, 0xC3), 40), 16);
}

void TToolbarButtonsGrid::SetList(const TToolbarButtonList& list)
{
    m_list = list;
    m_currentRow = std::clamp(m_currentRow, 0, std::max(0, m_list.Count() - 1));
    m_targetRow = -1;
    UpdateScrollRange();
    viewport()->update();
}

void TToolbarButtonsGrid::SetHighlight(const QColor& start, const QColor& end)
{
    m_highlightStart = TdmMain::Lighten(start, 16);
    m_highlightEnd = TdmMain::Lighten(end, 16);
    viewport()->update();
}

void TToolbarButtonsGrid::SetCurrentRow(int row)
{
    if (row < 0 || row >= m_list.Count())
        return;
    m_currentRow = row;
    EnsureVisible(row);
    viewport()->update();
}

QRect TToolbarButtonsGrid::RowRect(int row) const
{
    return QRect(0, row * RowHeight - verticalScrollBar()->value(), viewport()->width(), RowHeight);
}

int TToolbarButtonsGrid::RowAt(int y) const
{
    const int row = (y + verticalScrollBar()->value()) / RowHeight;
    return y >= 0 && row < m_list.Count() ? row : -1;
}

void TToolbarButtonsGrid::UpdateScrollRange()
{
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(RowHeight);
    verticalScrollBar()->setRange(0, std::max(0, m_list.Count() * RowHeight - viewport()->height()));
}

void TToolbarButtonsGrid::EnsureVisible(int row)
{
    const int top = row * RowHeight;
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (top + RowHeight > bar->value() + viewport()->height())
        bar->setValue(top + RowHeight - viewport()->height());
}

void TToolbarButtonsGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TToolbarButtonsGrid::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    for (int row = 0; row < m_list.Count(); ++row) {
        const QRect r = RowRect(row);
        if (r.bottom() < 0 || r.top() > viewport()->height())
            continue;
        const TToolbarButtonList::TEntry& e = m_list.At(row);
        const int L = r.left();
        const int T = r.top();
        const int R = r.right() + 1;
        const int B = r.bottom() + 1;
        if (row == m_currentRow || row == m_targetRow)
            TBTreeView::GradientFill(p, QRect(L, T, R - L, B - T - 1), m_highlightStart, m_highlightEnd);
        else
            p.fillRect(r, kCream);
        QRect box(QPoint(L + 2, T + 2), QPoint(L + B - T + 1 - 1, B - 1));
        p.setPen(QColor(128, 128, 128));
        p.drawRect(box.adjusted(0, 0, -3, -3));
        if (e.Visible)
            p.drawPixmap(box.topLeft(), m_check);
        box.translate(2 * box.width() + 2, 0);
        if (!e.IsSeparator())
            ToolbarCatalogue::ButtonIcon(e.Identifier).paint(&p, box.adjusted(0, 0, -2, -2));
        const QRect text(QPoint(box.right() + 1 + 5, T), QPoint(R - 1, B - 1));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   fontMetrics().elidedText(e.Description, Qt::ElideRight, text.width()));
    }
    if (hasFocus() && m_currentRow >= 0 && m_currentRow < m_list.Count()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.drawRect(RowRect(m_currentRow).adjusted(0, 0, -1, -1));
    }
}

void TToolbarButtonsGrid::Toggle(int row)
{
    if (row < 0 || row >= m_list.Count())
        return;
    m_list.At(row).Visible = !m_list.At(row).Visible;
    viewport()->update(RowRect(row));
}

void TToolbarButtonsGrid::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = RowAt(pos.y());
    m_pressed = false;
    if (row < 0 || event->button() != Qt::LeftButton)
        return;
    SetCurrentRow(row);
    if (pos.x() < RowHeight) {
        Toggle(row);
        return;
    }
    m_pressed = true;
    m_pressPos = pos;
}

void TToolbarButtonsGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(kRowMime, QByteArray::number(m_currentRow));
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

void TToolbarButtonsGrid::dragEnterEvent(QDragEnterEvent* event)
{
    event->acceptProposedAction();
}

void TToolbarButtonsGrid::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
    const int row = RowAt(event->position().toPoint().y());
    if (row != m_targetRow) {
        m_targetRow = row;
        viewport()->update();
    }
}

void TToolbarButtonsGrid::dragLeaveEvent(QDragLeaveEvent*)
{
    m_targetRow = -1;
    viewport()->update();
}

void TToolbarButtonsGrid::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    DropOn(m_targetRow);
}

void TToolbarButtonsGrid::DropOn(int target)
{
    if (target >= 0 && target != m_currentRow) {
        m_list.Move(m_currentRow, target);
        m_currentRow = target;
    }
    m_targetRow = -1;
    viewport()->update();
}

void TToolbarButtonsGrid::keyPressEvent(QKeyEvent* event)
{
    const bool move = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up:
        if (move && m_currentRow > 0)
            DropOn(m_currentRow - 1);
        SetCurrentRow(m_currentRow - (move ? 0 : 1));
        return;
    case Qt::Key_Down:
        if (move && m_currentRow + 1 < m_list.Count())
            DropOn(m_currentRow + 1);
        SetCurrentRow(m_currentRow + (move ? 0 : 1));
        return;
    case Qt::Key_Space:
        Toggle(m_currentRow);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}
