#include "editing/FolderFilesGridObserver.h"

#include "app/AppResources.h"
#include "controls/FileTypeIcons.h"
#include "editing/IOstrivaleDropTarget.h"
#include "engine/EntryItem.h"
#include "mainwindow/FolderFilesMenu.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QUrl>

namespace {

constexpr int kMarkLeft = 10;
constexpr int kMarkTop = 1;
constexpr int kMarkSize = 16;
constexpr int kSizeWidth = 100;
constexpr int kGap = 4;
// The strip at the left of each row where the mark is drawn; a click there
// marks or unmarks the file.
constexpr int kMarkColumnWidth = kMarkLeft + kMarkSize + kGap / 2;

// Hands the painting of every cell to the observer.
class TFilesGridDelegate : public QStyledItemDelegate {
public:
    TFilesGridDelegate(const TFolderFilesGridObserver& observer, QObject* parent)
        : QStyledItemDelegate(parent), m_observer(observer)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* grid = qobject_cast<const QTableWidget*>(option.widget);
        const bool focused = grid && grid->currentRow() == index.row();
        painter->save();
        m_observer.DrawCell(*painter, option.rect, index.row(), focused);
        painter->restore();
    }

private:
    const TFolderFilesGridObserver& m_observer;
};

QIcon ItemIcon(const TEntryItem& item)
{
    return TFileTypeIcons::ForName(item.Name(), item.IsFolder());
}

// The outermost window around widget that takes drops, or nullptr: an
// editor docked in the open-entries window answers for drops with that
// window's answer, so that is the one to tell.
QWidget* DropTargetAround(QWidget* widget)
{
    QWidget* found = nullptr;
    for (QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (dynamic_cast<IOstrivaleDropTarget*>(w))
            found = w;
    return found;
}

} // namespace

TFolderFilesGridObserver::TFolderFilesGridObserver(TdmMain& main, QTableWidget* grid, TFolderFiles* files,
                                                   TFolderFilesMenu* menu)
    : m_main(main), m_grid(grid), m_files(files), m_menu(menu), m_mark(TAppResources::Picture(QStringLiteral("BMP_LED_GREEN")))
{
    grid->setColumnCount(1);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setShowGrid(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->setFocusPolicy(Qt::StrongFocus);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->setItemDelegate(new TFilesGridDelegate(*this, this));
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
    QObject::connect(grid, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (m_movingRow || !m_files || row < 0)
            return;
        m_files->SetCurrent(row);
    });
    if (m_files)
        m_files->AddObserver(this);
}

TFolderFilesGridObserver::~TFolderFilesGridObserver()
{
    if (m_files) {
        m_files->RemoveObserver(this);
        if (m_main.CurrentFolderFiles() == m_files)
            m_main.SetCurrentFolderFiles(nullptr);
    }
    if (m_grid) {
        m_grid->removeEventFilter(this);
        m_grid->viewport()->removeEventFilter(this);
        QObject::disconnect(m_grid, nullptr, this, nullptr);
        m_grid->setItemDelegate(nullptr);
        m_grid->setRowCount(0);
    }
}

int TFolderFilesGridObserver::IconSize() const
{
    return m_main.App.FolderView == 1 ? 32 : 16;
}

void TFolderFilesGridObserver::FilesChanged(TGenericFiles* files, int kind, int index)
{
    if (!m_grid || files != m_files)
        return;
    switch (kind) {
    case TGenericFiles::ListChanged:
        Rebuild();
        break;
    case TGenericFiles::ItemChanged:
        if (index >= 0 && index < m_grid->rowCount())
            m_grid->viewport()->update(m_grid->visualRect(m_grid->model()->index(index, 0)));
        break;
    case TGenericFiles::CurrentChanged:
        MoveGridRow(index);
        break;
    default:
        m_grid->viewport()->update();
        break;
    }
}

void TFolderFilesGridObserver::FilesDestroyed(TGenericFiles* files)
{
    if (files != m_files)
        return;
    if (m_main.CurrentFolderFiles() == m_files)
        m_main.SetCurrentFolderFiles(nullptr);
    m_files = nullptr;
    if (m_grid)
        m_grid->setRowCount(1);
}

void TFolderFilesGridObserver::Rebuild()
{
    if (!m_grid)
        return;
    const int count = m_files ? m_files->Count() : 0;
    const int rowHeight = qMax(qMax(16, IconSize() + 2), m_grid->fontMetrics().height() + 4);
    m_grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_movingRow = true;
    m_grid->setRowCount(qMax(1, count));
    FitColumn();
    const int current = m_files && m_files->CurrentIndex() >= 0 ? m_files->CurrentIndex() : 0;
    m_grid->setCurrentCell(qMin(current, m_grid->rowCount() - 1), 0);
    m_movingRow = false;
    m_grid->viewport()->update();
}

void TFolderFilesGridObserver::FitColumn()
{
    if (!m_grid)
        return;
    const int width = m_grid->viewport()->width() - 1;
    if (m_grid->columnWidth(0) != width)
        m_grid->setColumnWidth(0, qMax(1, width));
}

void TFolderFilesGridObserver::MoveGridRow(int index)
{
    if (!m_grid || index < 0 || index >= m_grid->rowCount())
        return;
    m_movingRow = true;
    m_grid->setCurrentCell(index, 0);
    m_movingRow = false;
    m_grid->viewport()->update();
}

QString TFolderFilesGridObserver::SizeText(qint64 size)
{
    if (size > 1023)
        return QLocale().toString(double(size) / 1024.0, 'f', 1) + QStringLiteral(" Kb");
    return QString::number(size) + QStringLiteral(" bytes");
}

QString TFolderFilesGridObserver::EmptyListText()
{
    return QStringLiteral("< No files found >");
}

void TFolderFilesGridObserver::DrawCell(QPainter& painter, const QRect& rect, int row, bool focused) const
{
    painter.fillRect(rect, m_main.Colour(csGrid));
    const TEntryItem* item = m_files ? m_files->Items(row) : nullptr;
    if (!item) {
        if (row == 0 && (!m_files || m_files->Count() == 0)) {
            QFont bold = painter.font();
            bold.setBold(true);
            painter.setFont(bold);
            painter.setPen(m_main.Colour(csGridNote));
            const QRect textRect = rect.adjusted(kMarkLeft, 0, 0, 0);
            painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                             painter.fontMetrics().elidedText(EmptyListText(), Qt::ElideRight, textRect.width()));
        }
        return;
    }
    if (focused) {
        QLinearGradient gradient(rect.topLeft(), rect.topRight());
        gradient.setColorAt(0, m_main.Colour(csHighlightStart));
        gradient.setColorAt(1, m_main.Colour(csHighlightEnd));
        painter.fillRect(rect, gradient);
    }
    if (m_files->IsSelected(row)) {
        const QRect markRect(rect.left() + kMarkLeft, rect.top() + kMarkTop, kMarkSize, kMarkSize);
        if (!m_mark.isNull()) {
            painter.drawPixmap(markRect, m_mark);
        } else {
            // Without the pictures the marks must still show: which files are
            // stored is what this grid is for.
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QColor(0, 100, 0));
            painter.setBrush(QColor(40, 200, 40));
            painter.drawEllipse(markRect.adjusted(3, 3, -3, -3));
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
    }

    const int iconSize = IconSize();
    const int iconLeft = rect.left() + kMarkLeft + kMarkSize + kGap;
    const QIcon icon = ItemIcon(*item);
    icon.paint(&painter, QRect(iconLeft, rect.top() + (rect.height() - iconSize) / 2, iconSize, iconSize));

    const int nameLeft = iconLeft + iconSize + kGap;
    const QRect nameRect(nameLeft, rect.top(), rect.right() - kSizeWidth - nameLeft, rect.height());
    painter.setPen(m_main.Colour(csGridText));
    painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(item->Name(), Qt::ElideRight, qMax(0, nameRect.width())));

    const QRect sizeRect(rect.right() - kSizeWidth, rect.top(), kSizeWidth - kGap, rect.height());
    painter.setPen(m_main.Colour(csGridNote));
    painter.drawText(sizeRect, Qt::AlignRight | Qt::AlignVCenter, SizeText(item->Size()));
}

int TFolderFilesGridObserver::RowAt(const QPoint& pos) const
{
    return m_grid ? m_grid->rowAt(pos.y()) : -1;
}

bool TFolderFilesGridObserver::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_grid || !m_files)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == m_grid) {
            auto* key = static_cast<QKeyEvent*>(event);
            return GridKeyDown(key->key(), key->modifiers());
        }
        break;
    case QEvent::MouseButtonPress:
        if (watched == m_grid->viewport()) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            return GridMouseDown(mouse->position().toPoint(), mouse->button(), mouse->modifiers());
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == m_grid->viewport()) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const int row = RowAt(pos);
            // Two quick clicks on a mark are two toggles (the second press has
            // made its own), not a request to open the file.
            if (mouse->button() == Qt::LeftButton && MarkingAllowed && pos.x() < kMarkColumnWidth)
                return true;
            if (OpeningAllowed && row >= 0 && row < m_files->Count())
                m_files->OpenItem(row);
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (watched == m_grid->viewport() && m_dragArmed) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton)) {
                m_dragArmed = false;
            } else if ((mouse->position().toPoint() - m_dragStart).manhattanLength()
                       >= QApplication::startDragDistance()) {
                m_dragArmed = false;
                StartDrag();
                return true;
            }
        }
        break;
    case QEvent::MouseButtonRelease:
        m_dragArmed = false;
        break;
    case QEvent::Resize:
        if (watched == m_grid->viewport())
            FitColumn();
        break;
    default:
        break;
    }
    return false;
}

bool TFolderFilesGridObserver::GridKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (!MarkingAllowed)
        return false;
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    if (key == Qt::Key_Space && mods == Qt::NoModifier) {
        const int row = m_grid->currentRow();
        if (row >= 0 && row < m_files->Count())
            m_files->SetSelected(row, !m_files->IsSelected(row));
        return true;
    }
    if (mods != Qt::ControlModifier)
        return false;
    switch (key) {
    case Qt::Key_A:
        m_files->SelectAll();
        return true;
    case Qt::Key_D:
        m_files->SelectNone();
        return true;
    case Qt::Key_I:
        m_files->InvertSelection();
        return true;
    default:
        return false;
    }
}

bool TFolderFilesGridObserver::GridMouseDown(const QPoint& pos, Qt::MouseButton button,
                                             Qt::KeyboardModifiers modifiers)
{
    const int row = RowAt(pos);
    const bool onItem = row >= 0 && row < m_files->Count();
    if (button == Qt::LeftButton) {
        if (modifiers & Qt::ControlModifier) {
            if (MarkingAllowed && onItem)
                m_files->SetSelected(row, !m_files->IsSelected(row));
            return true;
        }
        if (onItem && MarkingAllowed && pos.x() < kMarkColumnWidth) {
            m_files->SetCurrent(row);
            m_files->SetSelected(row, !m_files->IsSelected(row));
            return true;
        }
        if (onItem) {
            m_files->SetCurrent(row);
            m_dragStart = pos;
            m_dragArmed = true;
        }
        return false;
    }
    if (button == Qt::RightButton) {
        if (onItem)
            m_files->SetCurrent(row);
        if (m_menu)
            m_menu->PopupFor(m_files, m_grid->viewport()->mapToGlobal(pos));
        return true;
    }
    return false;
}

void TFolderFilesGridObserver::StartDrag()
{
    const TEntryItem* item = m_files->CurrentItem();
    if (!item)
        return;
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(m_files->FolderPath() + item->Name())});
    auto* drag = new QDrag(m_grid);
    drag->setMimeData(mime);
    // The window the file comes from must not take it back. The drag runs
    // its own event loop, in which that window may even close.
    const QPointer<QWidget> target = DropTargetAround(m_grid);
    if (target)
        dynamic_cast<IOstrivaleDropTarget*>(target.data())->DisableDrops();
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
    if (target)
        dynamic_cast<IOstrivaleDropTarget*>(target.data())->EnableDrops();
}
