#include "browsing/EntryFilesGrid.h"

#include "controls/FileTypeIcons.h"

#include "app/AppResources.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

#include <algorithm>

const QString TEntryFilesGrid::NoFilesText = QStringLiteral("< No files found >");

TEntryFilesGrid::TEntryFilesGrid(TGenericFiles* files, QWidget* parent) : QAbstractScrollArea(parent), m_files(files)
{
    setObjectName(QStringLiteral("grEntryFiles"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_mark = TAppResources::Picture(QStringLiteral("BMP_LED_GREEN"));
    if (m_files)
        m_files->AddObserver(this);
}

TEntryFilesGrid::~TEntryFilesGrid()
{
    if (m_files)
        m_files->RemoveObserver(this);
}

void TEntryFilesGrid::SetColours(const QColor& list, const QColor& highlightStart, const QColor& highlightEnd,
                                 const QColor& text, const QColor& accent)
{
    m_list = list;
    m_highlightStart = highlightStart;
    m_highlightEnd = highlightEnd;
    m_text = text;
    m_accent = accent;
    viewport()->update();
}

QString TEntryFilesGrid::SizeText(qint64 size)
{
    if (size > 1023)
        return QLocale().toString(double(size) / 1024.0, 'f', 1) + QStringLiteral(" Kb");
    return QString::number(size) + QStringLiteral(" bytes");
}

// --- the list's notifications ----------------------------------------------

void TEntryFilesGrid::FilesChanged(TGenericFiles*, int kind, int index)
{
    switch (kind) {
    case TGenericFiles::ListChanged:
        RebuildRows();
        break;
    case TGenericFiles::ItemChanged:
        viewport()->update(RowRect(index));
        break;
    case TGenericFiles::CurrentChanged:
        ScrollToRow(index);
        viewport()->update();
        break;
    default:
        viewport()->update();
        break;
    }
}

void TEntryFilesGrid::FilesDestroyed(TGenericFiles* files)
{
    if (files == m_files)
        m_files = nullptr;
    viewport()->update();
}

void TEntryFilesGrid::RebuildRows()
{
    if (!m_files)
        return;
    // A list shown afresh starts without marks: they choose what to extract.
    m_files->SelectNone();
    if (m_files->Count() > 0 && m_files->CurrentIndex() != 0)
        m_files->SetCurrent(0);
    UpdateScrollRange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

// --- geometry -------------------------------------------------------------------

int TEntryFilesGrid::RowAt(int y) const
{
    if (!m_files || y < 0)
        return -1;
    const int row = (y + verticalScrollBar()->value()) / RowHeight();
    return row < m_files->Count() ? row : -1;
}

QRect TEntryFilesGrid::RowRect(int row) const
{
    return QRect(0, row * RowHeight() - verticalScrollBar()->value(), viewport()->width(), RowHeight());
}

void TEntryFilesGrid::UpdateScrollRange()
{
    const int rows = m_files ? m_files->Count() : 0;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, rows * RowHeight() - viewport()->height()));
    bar->setSingleStep(RowHeight());
    bar->setPageStep(std::max(RowHeight(), viewport()->height()));
}

void TEntryFilesGrid::ScrollToRow(int row)
{
    if (row < 0)
        return;
    QScrollBar* bar = verticalScrollBar();
    const int top = row * RowHeight();
    if (top < bar->value())
        bar->setValue(top);
    else if (top + RowHeight() > bar->value() + viewport()->height())
        bar->setValue(top + RowHeight() - viewport()->height());
}

void TEntryFilesGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TEntryFilesGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

// --- painting -------------------------------------------------------------------

QIcon TEntryFilesGrid::IconFor(const TEntryItem& item)
{
    return TFileTypeIcons::ForName(item.Name(), item.IsFolder());
}

void TEntryFilesGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), m_list);
    const int width = viewport()->width();
    if (!m_files || m_files->Count() == 0) {
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(m_accent);
        const QRect rect(MarkLeft, 0, width - MarkLeft, RowHeight());
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(NoFilesText, Qt::ElideRight, rect.width()));
        return;
    }
    const int first = std::max(0, RowAt(event->rect().top()));
    for (int row = first; row < m_files->Count(); ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() > event->rect().bottom())
            break;
        const TEntryItem* item = m_files->Items(row);
        if (row == m_files->CurrentIndex()) {
            QLinearGradient gradient(QPointF(0, rect.top()), QPointF(0, rect.bottom()));
            gradient.setColorAt(0, m_highlightStart);
            gradient.setColorAt(1, m_highlightEnd);
            painter.fillRect(rect.adjusted(0, 0, 0, -1), gradient);
        }
        if (m_files->IsSelected(row))
            painter.drawPixmap(MarkLeft, rect.top() + (rect.height() - m_mark.height()) / 2, m_mark);
        IconFor(*item).paint(&painter, QRect(MarkLeft + 20, rect.top() + (rect.height() - 16) / 2, 16, 16));
        painter.setFont(font());
        painter.setPen(m_text);
        const QRect name(MarkLeft + 40, rect.top(), width - SizeWidth - (MarkLeft + 40), RowHeight());
        painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(item->Name(), Qt::ElideMiddle, std::max(0, name.width())));
        painter.setPen(m_accent);
        // Entries stored before folders had their size recorded list them
        // as 0: not known, so not shown.
        if (!item->IsFolder() || item->Size() > 0)
            painter.drawText(QRect(width - SizeWidth, rect.top(), SizeWidth - 4, RowHeight()),
                             Qt::AlignRight | Qt::AlignVCenter, SizeText(item->Size()));
    }
}

// --- keys and mouse ---------------------------------------------------------------

void TEntryFilesGrid::MakeCurrent(int row)
{
    if (!m_files || row < 0)
        return;
    m_files->SetCurrent(row);
    ScrollToRow(m_files->CurrentIndex());
    viewport()->update();
}

void TEntryFilesGrid::keyPressEvent(QKeyEvent* event)
{
    if (!m_files || m_files->Count() == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int current = std::max(0, m_files->CurrentIndex());
    if (m_markingAllowed && modifiers == Qt::NoModifier && event->key() == Qt::Key_Space) {
        m_files->SetSelected(current, !m_files->IsSelected(current));
        return;
    }
    if (m_markingAllowed && modifiers == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_A:
            m_files->SelectAll();
            return;
        case Qt::Key_D:
            m_files->SelectNone();
            return;
        case Qt::Key_I:
            m_files->InvertSelection();
            return;
        default:
            break;
        }
    }
    switch (event->key()) {
    case Qt::Key_Up:
        MakeCurrent(std::max(0, current - 1));
        return;
    case Qt::Key_Down:
        MakeCurrent(std::min(m_files->Count() - 1, current + 1));
        return;
    case Qt::Key_Home:
        MakeCurrent(0);
        return;
    case Qt::Key_End:
        MakeCurrent(m_files->Count() - 1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_openingAllowed)
            m_files->OpenItem(current);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TEntryFilesGrid::mousePressEvent(QMouseEvent* event)
{
    m_dragArmed = false;
    const int row = RowAt(event->position().toPoint().y());
    if (row < 0)
        return;
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        if (m_markingAllowed)
            m_files->SetSelected(row, !m_files->IsSelected(row));
        return;
    }
    MakeCurrent(row);
    if (event->button() == Qt::LeftButton && m_markingAllowed && OnMark(event->position().toPoint())) {
        m_files->SetSelected(row, !m_files->IsSelected(row));
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_pressPos = event->position().toPoint();
        m_dragArmed = true;
    }
}

void TEntryFilesGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragArmed || !(event->buttons() & Qt::LeftButton)
        || (event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragArmed = false;
    if (!FilesToDrag)
        return;
    const QStringList paths = FilesToDrag();
    if (paths.isEmpty())
        return;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

bool TEntryFilesGrid::OnMark(const QPoint& pos) const
{
    return pos.x() < MarkColumnWidth && RowAt(pos.y()) >= 0;
}

void TEntryFilesGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_dragArmed = false;
    // Two quick clicks on a mark are two toggles (the second press has made
    // its own), not a request to open the file.
    if (event->button() == Qt::LeftButton && m_markingAllowed && OnMark(event->position().toPoint()))
        return;
    const int row = RowAt(event->position().toPoint().y());
    if (event->button() == Qt::LeftButton && row >= 0 && m_openingAllowed && m_files)
        m_files->OpenItem(row);
}

void TEntryFilesGrid::contextMenuEvent(QContextMenuEvent* event)
{
    emit ContextMenuRequested(event->globalPos());
}
