#include "controls/BTreeView.h"
#include "controls/GradientFill.h"

#include "app/AppResources.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <cmath>
#include <utility>

namespace {

const QColor kLineColour(128, 128, 128);
const QColor kIntoStart(222, 180, 165);
const QColor kIntoEnd(244, 213, 207);
const QColor kDropLine(255, 0, 0);
constexpr int kButtonSize = 9;

} // namespace

const QString TBTreeView::ButtonHint =
    QStringLiteral("Left-click to expand / collapse. Hold <CTRL> to expand / collapse ALL child nodes as well.");

// --- TBTreeViewNodes -----------------------------------------------------------------

TBTreeViewNodes::TBTreeViewNodes(TBTreeView* tree, TBTreeViewNode* owner) : m_tree(tree), m_owner(owner) {}

TBTreeViewNodes::~TBTreeViewNodes()
{
    const QList<TBTreeViewNode*> items = std::exchange(m_items, {});
    for (TBTreeViewNode* node : items)
        delete node;
}

TBTreeViewNode* TBTreeViewNodes::AddNode(const QString& caption, const QString& hint, int index, void* data)
{
    auto* node = new TBTreeViewNode(m_tree, caption, hint, data);
    m_tree->Nodes().Insert(node, index);
    return node;
}

TBTreeViewNode* TBTreeViewNodes::AddChildNode(TBTreeViewNode* parent, const QString& caption, const QString& hint,
                                              int index, void* data)
{
    if (!parent)
        return nullptr;
    auto* node = new TBTreeViewNode(m_tree, caption, hint, data);
    parent->Children().Insert(node, index);
    return node;
}

void TBTreeViewNodes::Clear()
{
    if (m_items.isEmpty())
        return;
    m_tree->BeginUpdate();
    const QList<TBTreeViewNode*> items = std::exchange(m_items, {});
    for (TBTreeViewNode* node : items)
        delete node;
    m_tree->EndUpdate();
}

int TBTreeViewNodes::IndexOf(const TBTreeViewNode* node) const
{
    return int(m_items.indexOf(const_cast<TBTreeViewNode*>(node)));
}

void TBTreeViewNodes::Remove(TBTreeViewNode* node)
{
    if (!node || !m_items.contains(node))
        return;
    m_tree->BeginUpdate();
    m_items.removeOne(node);
    delete node;
    m_tree->EndUpdate();
}

TBTreeViewNode* TBTreeViewNodes::Extract(TBTreeViewNode* node)
{
    if (!node || !m_items.contains(node))
        return nullptr;
    m_tree->BeginUpdate();
    m_items.removeOne(node);
    node->m_collection = nullptr;
    node->m_parent = nullptr;
    m_tree->EndUpdate();
    return node;
}

void TBTreeViewNodes::Insert(TBTreeViewNode* node, int index)
{
    if (!node)
        return;
    m_tree->BeginUpdate();
    if (index < 0 || index > m_items.size())
        index = int(m_items.size());
    m_items.insert(index, node);
    node->m_collection = this;
    node->m_parent = m_owner;
    m_tree->EndUpdate();
}

int TBTreeViewNodes::CountAll() const
{
    return TTreeNodesIterator(this, false, true).Count();
}

// --- TBTreeViewNode --------------------------------------------------------------------

TBTreeViewNode::TBTreeViewNode(TBTreeView* tree, const QString& caption, const QString& hint, void* data)
    : Caption(caption), Hint(hint), Data(data), m_tree(tree), m_children(tree, this)
{
}

TBTreeViewNode::~TBTreeViewNode()
{
    m_tree->NodeDestroyed(this);
}

int TBTreeViewNode::Level() const
{
    int level = 1;
    for (const TBTreeViewNode* p = m_parent; p; p = p->m_parent)
        ++level;
    return level;
}

void TBTreeViewNode::SetExpanded(bool value)
{
    if (m_expanded == value)
        return;
    m_tree->BeginUpdate();
    m_expanded = value;
    m_tree->EndUpdate();
}

void TBTreeViewNode::SetExpandedRecursive(bool value)
{
    m_expanded = value;
    for (int i = 0; i < m_children.Count(); ++i)
        m_children.Items(i)->SetExpandedRecursive(value);
}

void TBTreeViewNode::ExpandRecursive()
{
    m_tree->BeginUpdate();
    SetExpandedRecursive(true);
    m_tree->EndUpdate();
}

void TBTreeViewNode::CollapseRecursive()
{
    m_tree->BeginUpdate();
    SetExpandedRecursive(false);
    m_tree->EndUpdate();
}

bool TBTreeViewNode::IsLastChild() const
{
    return m_collection && m_collection->Last() == this;
}

bool TBTreeViewNode::HasAncestor(const TBTreeViewNode* node) const
{
    for (const TBTreeViewNode* p = m_parent; p; p = p->m_parent)
        if (p == node)
            return true;
    return false;
}

// --- TTreeNodesIterator ----------------------------------------------------------------

TTreeNodesIterator::TTreeNodesIterator(const TBTreeViewNodes* nodes, bool onlyExpanded, bool recursive)
    : m_nodes(nodes), m_onlyExpanded(onlyExpanded), m_recursive(recursive)
{
    Refresh();
}

void TTreeNodesIterator::Refresh()
{
    m_list.clear();
    m_index = 0;
    if (m_nodes)
        Collect(*m_nodes);
}

void TTreeNodesIterator::Collect(const TBTreeViewNodes& nodes)
{
    for (int i = 0; i < nodes.Count(); ++i) {
        TBTreeViewNode* node = nodes.Items(i);
        m_list.append(node);
        if (m_recursive && (!m_onlyExpanded || node->Expanded()))
            Collect(node->Children());
    }
}

int TTreeNodesIterator::IndexOf(const TBTreeViewNode* node) const
{
    return int(m_list.indexOf(const_cast<TBTreeViewNode*>(node)));
}

// --- the list underneath ---------------------------------------------------------------

// One row per visible node. The text is there for accessibility and keyboard
// search; the control paints the rows itself.
class TBTreeView::TModel : public QAbstractListModel
{
public:
    explicit TModel(TBTreeView* tree) : QAbstractListModel(tree), m_tree(tree) {}

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_tree->RowCount();
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        TBTreeViewNode* node = m_tree->NodeAtRow(index.row());
        if (!node)
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return m_tree->NodeCaption(node);
        case Qt::AccessibleDescriptionRole:
            return m_tree->NodeHint(node);
        case Qt::CheckStateRole:
            if (m_tree->AllowSelection())
                return m_tree->IsSelected(node) ? Qt::Checked : Qt::Unchecked;
            return {};
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (m_tree->AllowSelection())
            f |= Qt::ItemIsUserCheckable;
        return f;
    }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    TBTreeView* m_tree;
};

// Every row has the same height; the list view only needs to know that.
class TBTreeView::TDelegate : public QAbstractItemDelegate
{
public:
    explicit TDelegate(TBTreeView* tree) : QAbstractItemDelegate(tree), m_tree(tree) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_tree->DrawCell(*painter, option.rect, index.row());
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(1, m_tree->DefaultRowHeight());
    }

private:
    TBTreeView* m_tree;
};

// --- TBTreeView ------------------------------------------------------------------------

TBTreeView::TBTreeView(QWidget* parent) : QListView(parent), m_roots(this, nullptr)
{
    m_model = new TModel(this);
    setModel(m_model);
    setItemDelegate(new TDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setMouseTracking(true);
    setDragEnabled(false);
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);

    m_expandPicture = TAppResources::Picture(QStringLiteral("BMP_PLUS_CYAN"));
    if (m_expandPicture.isNull())
        m_expandPicture = TAppResources::Picture(QStringLiteral("BMP_TREE_EXPAND"));
    m_collapsePicture = TAppResources::Picture(QStringLiteral("BMP_MINUS_CYAN"));
    if (m_collapsePicture.isNull())
        m_collapsePicture = TAppResources::Picture(QStringLiteral("BMP_TREE_EXPAND"));
    m_checkPicture = TAppResources::Picture(QStringLiteral("BMP_OK"));
    UpdateRowHeight();
}

TBTreeView::~TBTreeView()
{
    // The nodes tell the tree of their end; they go while it is still whole.
    m_updateCount = 1;
    m_roots.Clear();
    m_visible.clear();
    m_rowOf.clear();
}

// --- properties ---

void TBTreeView::SetAllowSelection(bool value)
{
    m_allowSelection = value;
    if (!value)
        m_multiSelect = false;
    viewport()->update();
}

void TBTreeView::SetMultiSelect(bool value)
{
    m_multiSelect = value;
    if (value)
        m_allowSelection = true;
    viewport()->update();
}

void TBTreeView::SetColorGradientStart(const QColor& colour)
{
    m_gradientStart = colour;
    viewport()->update();
}

void TBTreeView::SetColorGradientEnd(const QColor& colour)
{
    m_gradientEnd = colour;
    viewport()->update();
}

void TBTreeView::SetLevelImageResourceIDs(const QStringList& ids)
{
    m_levelImageIds = ids;
    LoadLevelImages();
}

void TBTreeView::LoadLevelImages()
{
    m_levelImages.clear();
    for (const QString& id : std::as_const(m_levelImageIds))
        m_levelImages.append(TAppResources::Picture(id));
    viewport()->update();
}

void TBTreeView::SetLevelIndentation(int pixels)
{
    if (pixels == m_levelIndentation)
        return;
    m_levelIndentation = pixels;
    viewport()->update();
}

void TBTreeView::SetShowBitmaps(bool value)
{
    m_showBitmaps = value;
    viewport()->update();
}

void TBTreeView::SetShowLines(bool value)
{
    m_showLines = value;
    viewport()->update();
}

void TBTreeView::SetDefaultRowHeight(int pixels)
{
    m_rowHeight = pixels;
    UpdateRowHeight();
}

void TBTreeView::UpdateRowHeight()
{
    // Text of a larger font than the design's must not be cut.
    const int needed = QFontMetrics(font()).height() + 2;
    const int height = std::max(m_rowHeight, needed);
    if (height != m_rowHeight)
        m_rowHeight = height;
    // The list caches the uniform size; a new layout asks again.
    doItemsLayout();
}

void TBTreeView::SetTextColor(const QColor& colour)
{
    m_textColor = colour;
    viewport()->update();
}

void TBTreeView::SetBackgroundColor(const QColor& colour)
{
    m_background = colour;
    QPalette p = palette();
    p.setColor(QPalette::Base, colour);
    setPalette(p);
    viewport()->update();
}

// --- updates ---

void TBTreeView::BeginUpdate()
{
    ++m_updateCount;
}

void TBTreeView::EndUpdate()
{
    if (m_updateCount <= 0)
        return;
    if (--m_updateCount == 0)
        Rebuild();
}

TBTreeViewUpdate::~TBTreeViewUpdate()
{
    if (!m_tree)
        return;
    try {
        m_tree->EndUpdate();
    } catch (...) {
        // An error is already on its way out of the scope; this one would
        // only hide it.
    }
}

void TBTreeViewUpdate::End()
{
    if (TBTreeView* tree = std::exchange(m_tree, nullptr))
        tree->EndUpdate();
}

void TBTreeView::Rebuild()
{
    TBTreeViewNode* formerNode = m_currentNode;
    const int formerRow = CurrentRow();
    m_rebuilding = true;
    m_model->BeginReset();
    m_visible = TTreeNodesIterator(&m_roots, true, true).List();
    m_rowOf.clear();
    m_rowOf.reserve(m_visible.size());
    for (int row = 0; row < m_visible.size(); ++row)
        m_rowOf.insert(m_visible[row], row);
    m_model->EndReset();

    // The current node keeps its place; when it went out of sight, the row
    // of its nearest visible ancestor; when it is gone, the same row number.
    int row = -1;
    for (TBTreeViewNode* n = formerNode; n && row < 0; n = n->Parent())
        row = m_rowOf.value(n, -1);
    if (row < 0 && !formerNode && formerRow >= 0)
        row = std::min(formerRow, RowCount() - 1);
    if (row < 0 && RowCount() > 0)
        row = 0;
    if (row >= 0)
        setCurrentIndex(m_model->index(row, 0));
    m_rebuilding = false;
    m_currentNode = NodeAtRow(row);
    viewport()->update();
    if (m_currentNode != formerNode && OnSelectCell)
        OnSelectCell(row);
}

void TBTreeView::Clear()
{
    BeginUpdate();
    m_roots.Clear();
    EndUpdate();
}

void TBTreeView::NodeDestroyed(TBTreeViewNode* node)
{
    if (m_selectedSet.remove(node))
        m_selection.removeOne(node);
    if (m_currentNode == node)
        m_currentNode = nullptr;
    if (m_sourceNode == node || m_targetNode == node) {
        m_sourceNode = nullptr;
        m_targetNode = nullptr;
        m_dropPosition = mpNone;
        m_dragging = false;
    }
}

// --- rows and nodes ---

TBTreeViewNode* TBTreeView::NodeAtRow(int row) const
{
    return (row >= 0 && row < m_visible.size()) ? m_visible[row] : nullptr;
}

int TBTreeView::RowOfNode(const TBTreeViewNode* node) const
{
    return node ? m_rowOf.value(node, -1) : -1;
}

int TBTreeView::CurrentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TBTreeView::SetCurrentRow(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    setCurrentIndex(m_model->index(row, 0));
}

TBTreeViewNode* TBTreeView::FindNodeByData(const void* data) const
{
    if (!data)
        return nullptr;
    TTreeNodesIterator it(&m_roots, false, true);
    for (it.First(); !it.Eof(); it.Next())
        if (it.Current()->Data == data)
            return it.Current();
    return nullptr;
}

bool TBTreeView::MakeNodeCurrent(TBTreeViewNode* node)
{
    if (!node)
        return false;
    if (RowOfNode(node) < 0) {
        BeginUpdate();
        for (TBTreeViewNode* p = node->Parent(); p; p = p->Parent())
            p->SetExpanded(true);
        EndUpdate();
    }
    const int row = RowOfNode(node);
    if (row < 0)
        return false;
    SetCurrentRow(row);
    return true;
}

void TBTreeView::ExpandAll()
{
    TBTreeViewNode* current = CurrentNode();
    BeginUpdate();
    for (int i = 0; i < m_roots.Count(); ++i)
        m_roots.Items(i)->ExpandRecursive();
    EndUpdate();
    MakeNodeCurrent(current);
}

void TBTreeView::CollapseAll()
{
    TBTreeViewNode* current = CurrentNode();
    BeginUpdate();
    for (int i = 0; i < m_roots.Count(); ++i)
        m_roots.Items(i)->CollapseRecursive();
    EndUpdate();
    MakeNodeCurrent(current);
}

void TBTreeView::DeleteNode(TBTreeViewNode* node)
{
    if (node && node->Collection())
        node->Collection()->Remove(node);
}

int TBTreeView::RowAt(const QPoint& viewportPoint) const
{
    if (RowCount() == 0)
        return -1;
    const int top = visualRect(m_model->index(0, 0)).top();
    if (viewportPoint.y() < top)
        return -1;
    const int row = (viewportPoint.y() - top) / std::max(1, m_rowHeight);
    return row < RowCount() ? row : -1;
}

QRect TBTreeView::RowRect(int row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    const QRect r = visualRect(m_model->index(row, 0));
    return QRect(0, r.top(), viewport()->width(), m_rowHeight);
}

// --- selection ---

void TBTreeView::SelectNode(TBTreeViewNode* node, bool toggle)
{
    if (!node)
        return;
    if (m_multiSelect && (toggle || m_extendedSelection)) {
        if (m_selectedSet.remove(node))
            m_selection.removeOne(node);
        else {
            m_selection.append(node);
            m_selectedSet.insert(node);
        }
    } else {
        ClearSelection();
        m_selection.append(node);
        m_selectedSet.insert(node);
    }
    InvalidateNode(node);
    SelectionChanged();
}

void TBTreeView::AddToSelection(TBTreeViewNode* node)
{
    if (!node || m_selectedSet.contains(node))
        return;
    m_selection.append(node);
    m_selectedSet.insert(node);
    InvalidateNode(node);
    SelectionChanged();
}

void TBTreeView::ClearSelection()
{
    for (const TBTreeViewNode* node : std::as_const(m_selection))
        InvalidateNode(node);
    const bool had = !m_selection.isEmpty();
    m_selection.clear();
    m_selectedSet.clear();
    if (had)
        SelectionChanged();
}

void TBTreeView::SelectionChanged()
{
    if (OnSelectionChanged)
        OnSelectionChanged();
}

void TBTreeView::SelectAll()
{
    if (!m_multiSelect)
        return;
    const TTreeNodesIterator all(&m_roots, false, true);
    for (TBTreeViewNode* node : all.List())
        if (!m_selectedSet.contains(node)) {
            m_selection.append(node);
            m_selectedSet.insert(node);
        }
    viewport()->update();
    SelectionChanged();
}

void TBTreeView::SelectAllVisible()
{
    if (!m_multiSelect)
        return;
    for (TBTreeViewNode* node : std::as_const(m_visible))
        if (!m_selectedSet.contains(node)) {
            m_selection.append(node);
            m_selectedSet.insert(node);
        }
    viewport()->update();
    SelectionChanged();
}

void TBTreeView::InvertSelection()
{
    if (!m_multiSelect)
        return;
    QList<TBTreeViewNode*> inverted;
    const TTreeNodesIterator all(&m_roots, false, true);
    for (TBTreeViewNode* node : all.List())
        if (!m_selectedSet.contains(node))
            inverted.append(node);
    m_selection = inverted;
    m_selectedSet = QSet<const TBTreeViewNode*>(inverted.cbegin(), inverted.cend());
    viewport()->update();
    SelectionChanged();
}

void TBTreeView::InvalidateRow(int row)
{
    const QRect r = RowRect(row);
    if (!r.isNull())
        viewport()->update(r);
}

void TBTreeView::InvalidateNode(const TBTreeViewNode* node)
{
    InvalidateRow(RowOfNode(node));
}

// --- texts ---

QString TBTreeView::NodeCaption(TBTreeViewNode* node) const
{
    QString text = node->Caption.trimmed();
    if (OnGetNodeCaption) {
        try {
            OnGetNodeCaption(node, text);
        } catch (const std::exception&) {
        }
    }
    return text;
}

QString TBTreeView::NodeHint(TBTreeViewNode* node) const
{
    QString text = node->Hint;
    if (OnGetNodeHint) {
        try {
            OnGetNodeHint(node, text);
        } catch (const std::exception&) {
        }
    }
    return text;
}

void TBTreeView::SetHint(const QString& hint)
{
    // Without a hint of its own a node shows the control's.
    const QString shown = hint.isEmpty() ? statusTip() : hint;
    if (shown == m_hint)
        return;
    m_hint = shown;
    // The status bar of the window shows the hint of what the mouse is
    // over; the viewport carries no tip of its own, so the event is taken
    // as a new hint rather than as the control's standing one.
    QStatusTipEvent tip(shown);
    QApplication::sendEvent(viewport(), &tip);
}

// --- geometry and painting ---

QRect TBTreeView::ButtonRect(const QRect& row, int level) const
{
    const int left = row.left() + (level - 1) * m_levelIndentation + 20;
    const int top = row.top() + (row.height() - kButtonSize) / 2;
    return QRect(left, top, kButtonSize, kButtonSize);
}

QRect TBTreeView::PictureRect(const QRect& row, int level) const
{
    const QRect button = ButtonRect(row, level);
    if (!m_showBitmaps)
        return button;
    return QRect(button.left() + kButtonSize + 8, button.top(), kButtonSize, kButtonSize);
}

QRect TBTreeView::TextRect(const QRect& row, int level) const
{
    const QRect picture = PictureRect(row, level);
    const int left = picture.left() + picture.width() + 8;
    return QRect(left, row.top(), std::max(0, row.right() - left + 1), row.height());
}

TTreeViewMovePoint TBTreeView::DropPositionAt(const QRect& row, int y)
{
    const int quarter = row.height() / 4;
    const int top = row.top();
    const int bottom = row.top() + row.height();   // the first pixel row below
    if (y < top + quarter)
        return mpBefore;
    if (y >= bottom - quarter)
        return mpAfter;
    return mpInto;
}

void TBTreeView::GradientFill(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end)
{
    ::GradientFill(painter, rect, start, end);
}

void TBTreeView::DrawCell(QPainter& painter, const QRect& rect, int row)
{
    TBTreeViewNode* node = NodeAtRow(row);
    if (!node)
        return;
    if (OnPaintNode) {
        OnPaintNode(node, painter, rect);
        return;
    }
    painter.save();
    QColor back = m_background;
    QColor hiStart = m_gradientStart;
    QColor hiEnd = m_gradientEnd;
    if (OnGetColor)
        OnGetColor(node, back, hiStart, hiEnd);
    QFont f = font();
    if (OnGetFont)
        OnGetFont(node, f);
    painter.setFont(f);

    const bool isTarget = m_dragging && node == m_targetNode;
    if (isTarget && m_dropPosition == mpInto)
        GradientFill(painter, rect, kIntoStart, kIntoEnd);
    else if (row == CurrentRow())
        GradientFill(painter, rect, hiStart, hiEnd);
    else
        painter.fillRect(rect, back);

    if (m_allowSelection && IsSelected(node) && !m_checkPicture.isNull())
        painter.drawPixmap(rect.left() + 1, rect.top() - 1 + (rect.height() - 16) / 2 + 1, m_checkPicture);

    const int level = node->Level();
    const QRect text = TextRect(rect, level);
    painter.setPen(m_textColor);
    const QString caption = NodeCaption(node);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QFontMetrics(f).elidedText(caption, Qt::ElideRight, text.width()));

    if (isTarget && (m_dropPosition == mpBefore || m_dropPosition == mpAfter)) {
        const int y = m_dropPosition == mpBefore ? rect.top() + 1 : rect.bottom() - 1;
        painter.fillRect(QRect(text.left(), y, 50, 1), kDropLine);
    }

    const QRect button = ButtonRect(rect, level);
    if (node->HasChildren()) {
        const QPixmap& mark = node->Expanded() ? m_collapsePicture : m_expandPicture;
        if (!mark.isNull())
            painter.drawPixmap(button.topLeft(), mark);
        else {
            // Without the pictures a plain box with its sign.
            painter.setPen(kLineColour);
            painter.setBrush(Qt::white);
            painter.drawRect(button.adjusted(0, 0, -1, -1));
            const int cy = button.top() + kButtonSize / 2;
            const int cx = button.left() + kButtonSize / 2;
            painter.setPen(Qt::black);
            painter.drawLine(button.left() + 2, cy, button.right() - 2, cy);
            if (!node->Expanded())
                painter.drawLine(cx, button.top() + 2, cx, button.bottom() - 2);
        }
    }

    if (m_showBitmaps && !m_levelImages.isEmpty()) {
        const int index = std::min(level - 1, int(m_levelImages.size()) - 1);
        const QPixmap& picture = m_levelImages.at(index);
        if (!picture.isNull())
            painter.drawPixmap(PictureRect(rect, level).topLeft(), picture);
    }

    if (m_showLines) {
        painter.setPen(QPen(kLineColour, 1));
        const int xb = button.left() + 4;
        const int xm = xb - m_levelIndentation;
        const int ym = rect.top() + rect.height() / 2;
        const int bottom = rect.bottom();
        if (node->HasChildren() && node->Expanded())
            painter.drawLine(xb, button.bottom() + 2, xb, bottom);
        if (node->Parent()) {
            painter.drawLine(xm, rect.top(), xm, node->IsLastChild() ? ym : bottom);
            const int to = node->HasChildren() ? button.left() - 2 : button.right();
            painter.drawLine(xm, ym, to, ym);
        }
        int x = xm;
        const TBTreeViewNode* a = node;
        for (int i = 0; i < level - 2; ++i) {
            x -= m_levelIndentation;
            a = a->Parent();
            if (a && !a->IsLastChild())
                painter.drawLine(x, rect.top(), x, bottom);
        }
    }
    painter.restore();
}

// --- pointer ---

void TBTreeView::GridPress(QMouseEvent* event, int row, bool doublePress)
{
    if (focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
    if (doublePress && event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick();
    if (OnMouseDown)
        OnMouseDown(event);
    if (row >= 0)
        SetCurrentRow(row);
}

void TBTreeView::mousePressEvent(QMouseEvent* event)
{
    PointerPress(event, false);
}

// The second press of a double click is a press like the first; only the
// grid's own press handling turns it into a double click, so that a press
// on an expand button, which toggles and nothing more, never becomes one.
void TBTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    PointerPress(event, true);
}

void TBTreeView::PointerPress(QMouseEvent* event, bool doublePress)
{
    const QPoint pos = event->position().toPoint();
    const int row = RowAt(pos);
    TBTreeViewNode* node = NodeAtRow(row);
    const Qt::KeyboardModifiers mods = event->modifiers();

    if (event->button() == Qt::LeftButton && (mods & Qt::ShiftModifier) && m_multiSelect) {
        const int current = CurrentRow();
        if (node && current >= 0) {
            TBTreeViewUpdate update(*this);
            ClearSelection();
            for (int r = std::max(row, current); r >= std::min(row, current); --r)
                AddToSelection(NodeAtRow(r));
            update.End();
        }
        GridPress(event, row, doublePress);
        return;
    }
    if (event->button() == Qt::RightButton) {
        if (row >= 0)
            SetCurrentRow(row);
        SelectNode(node, false);
        GridPress(event, row, doublePress);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;

    m_pressPoint = pos;
    m_pressed = true;
    if (node && node->HasChildren() && ButtonRect(RowRect(row), node->Level()).contains(pos)) {
        if (mods & Qt::ControlModifier) {
            if (node->Expanded())
                node->CollapseRecursive();
            else
                node->ExpandRecursive();
        } else {
            node->SetExpanded(!node->Expanded());
        }
        // The rebuild kept the current node, or moved the current row to
        // the toggled node when the current one went out of sight with it.
        return;
    }
    SelectNode(node, (mods & Qt::ControlModifier) != 0);
    if (row >= 0)
        SetCurrentRow(row);
    GridPress(event, row, doublePress);
}

void TBTreeView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = RowAt(pos);
    TBTreeViewNode* node = NodeAtRow(row);

    if (m_dragging) {
        TBTreeViewNode* target = nullptr;
        TTreeViewMovePoint position = mpNone;
        if (node) {
            position = DropPositionAt(RowRect(row), pos.y());
            if (CanMoveTo(node, position))
                target = node;
            else
                position = mpNone;
        }
        viewport()->setCursor(target ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
        if (target != m_targetNode || position != m_dropPosition) {
            const int oldRow = m_targetRow;
            m_targetNode = target;
            m_targetRow = target ? row : -1;
            m_dropPosition = position;
            InvalidateRow(oldRow);
            InvalidateRow(m_targetRow);
        }
        return;
    }

    if (m_pressed && (event->buttons() & Qt::LeftButton)) {
        if (m_allowNodeMoving) {
            const QRect square(m_pressPoint - QPoint(2, 2), QSize(4, 4));
            if (!square.contains(pos) && node) {
                m_dragging = true;
                m_sourceNode = node;
                viewport()->setCursor(Qt::DragMoveCursor);
            }
        }
        return;
    }

    // Hovering
    if (node && node->HasChildren() && ButtonRect(RowRect(row), node->Level()).contains(pos)) {
        viewport()->setCursor(Qt::PointingHandCursor);
        SetHint(ButtonHint);
    } else {
        viewport()->unsetCursor();
        SetHint(node ? NodeHint(node) : QString());
    }
}

void TBTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging && event->button() == Qt::LeftButton)
        Drop();
    if (m_dragging || event->button() == Qt::LeftButton)
        ResetDrag();
}

void TBTreeView::leaveEvent(QEvent* event)
{
    QListView::leaveEvent(event);
    m_hint.clear();
}

bool TBTreeView::CanMoveTo(TBTreeViewNode* target, TTreeViewMovePoint position)
{
    if (!target || position == mpNone || m_selection.isEmpty())
        return false;
    for (const TBTreeViewNode* selected : std::as_const(m_selection))
        if (target == selected || target->HasAncestor(selected))
            return false;
    if (OnCanMoveNode) {
        for (TBTreeViewNode* selected : std::as_const(m_selection)) {
            TTreeViewMovePoint point = position;
            bool canMove = true;
            OnCanMoveNode(selected, target, point, canMove);
            if (!canMove)
                return false;
        }
    }
    return true;
}

void TBTreeView::Drop()
{
    TBTreeViewNode* target = m_targetNode;
    const TTreeViewMovePoint position = m_dropPosition;
    if (!target || !CanMoveTo(target, position))
        return;
    TBTreeViewUpdate update(*this);
    const QList<TBTreeViewNode*> moving = m_selection;
    for (int i = int(moving.size()) - 1; i >= 0; --i) {
        TBTreeViewNode* node = moving[i];
        if (!node->Collection())
            continue;
        node->Collection()->Extract(node);
        if (position == mpInto) {
            target->Children().Insert(node, -1);
        } else {
            TBTreeViewNodes* collection = target->Collection();
            collection->Insert(node, collection->IndexOf(target) + (position == mpAfter ? 1 : 0));
        }
        if (OnMoveNode)
            OnMoveNode(node, node->Parent());
    }
    m_selection.clear();
    m_selectedSet.clear();
    update.End();
    SelectionChanged();
}

void TBTreeView::ResetDrag()
{
    const int oldRow = m_targetRow;
    m_sourceNode = nullptr;
    m_targetNode = nullptr;
    m_targetRow = -1;
    m_dropPosition = mpNone;
    m_dragging = false;
    m_pressed = false;
    viewport()->unsetCursor();
    InvalidateRow(oldRow);
}

// --- keys ---

void TBTreeView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrlOnly = mods == Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_dragging) {
            ResetDrag();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Space:
        if (mods == Qt::NoModifier) {
            SelectNode(CurrentNode(), false);
            event->accept();
            return;
        }
        break;
    case Qt::Key_P:
        if (ctrlOnly) {
            ExpandAll();
            return;
        }
        break;
    case Qt::Key_L:
        if (ctrlOnly) {
            CollapseAll();
            return;
        }
        break;
    case Qt::Key_A:
        if (ctrlOnly) {
            SelectAll();
            return;
        }
        if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
            SelectAllVisible();
            return;
        }
        break;
    case Qt::Key_D:
        if (ctrlOnly) {
            ClearSelection();
            return;
        }
        break;
    case Qt::Key_I:
        if (ctrlOnly) {
            InvertSelection();
            return;
        }
        break;
    default:
        break;
    }
    QListView::keyPressEvent(event);
}

void TBTreeView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    viewport()->update();
}

void TBTreeView::paintEvent(QPaintEvent* event)
{
    // Rows span the whole width, whatever width the list gives its items.
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, m_background);
    if (RowCount() == 0)
        return;
    int row = RowAt(QPoint(0, area.top()));
    if (row < 0) {
        if (area.top() >= RowRect(0).top())
            return;
        row = 0;
    }
    for (; row < RowCount(); ++row) {
        const QRect r = RowRect(row);
        if (r.top() > area.bottom())
            break;
        DrawCell(painter, r, row);
    }
}

void TBTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (m_rebuilding)
        return;
    InvalidateRow(previous.isValid() ? previous.row() : -1);
    InvalidateRow(current.isValid() ? current.row() : -1);
    m_currentNode = NodeAtRow(current.isValid() ? current.row() : -1);
    if (OnSelectCell)
        OnSelectCell(current.isValid() ? current.row() : -1);
}

// --- drags from elsewhere ---

void TBTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (OnDragOver && OnDragOver(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TBTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    // The list scrolls while the pointer is near its edges.
    QListView::dragMoveEvent(event);
    if (OnDragOver && OnDragOver(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TBTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QListView::dragLeaveEvent(event);
    if (OnDragLeave)
        OnDragLeave();
}

void TBTreeView::dropEvent(QDropEvent* event)
{
    if (OnDragOver && OnDragOver(event) && OnDragDrop) {
        event->acceptProposedAction();
        OnDragDrop(event);
    } else {
        event->ignore();
    }
}
