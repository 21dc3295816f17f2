#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QListView>
#include <QPixmap>
#include <QPoint>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QFont;
class QPainter;
class TBTreeView;
class TBTreeViewNode;

// An ordered collection of sibling nodes: the top-level nodes of a tree, or
// the children of one node. It owns its nodes; every change is one update of
// the tree, so the rows are rebuilt once it is done.
class TBTreeViewNodes {
public:
    TBTreeViewNodes(TBTreeView* tree, TBTreeViewNode* owner);
    ~TBTreeViewNodes();
    TBTreeViewNodes(const TBTreeViewNodes&) = delete;
    TBTreeViewNodes& operator=(const TBTreeViewNodes&) = delete;

    // A new top-level node at index (appended when index < 0).
    TBTreeViewNode* AddNode(const QString& caption, const QString& hint, int index, void* data);
    // A new child of parent at index in its children (appended when index <
    // 0); nullptr when parent is nullptr.
    TBTreeViewNode* AddChildNode(TBTreeViewNode* parent, const QString& caption, const QString& hint, int index,
                                 void* data);
    void Clear();
    int Count() const { return int(m_items.size()); }
    TBTreeViewNode* Items(int index) const { return m_items.value(index); }
    int IndexOf(const TBTreeViewNode* node) const;
    TBTreeViewNode* Last() const { return m_items.isEmpty() ? nullptr : m_items.last(); }
    // Destroys the node with its subtree.
    void Remove(TBTreeViewNode* node);
    // Takes the node out without destroying it; the caller owns it then.
    TBTreeViewNode* Extract(TBTreeViewNode* node);
    // Puts a node in at index (appended when index < 0); its parent becomes
    // the owner of this collection.
    void Insert(TBTreeViewNode* node, int index);
    // Nodes at any depth below.
    int CountAll() const;

    TBTreeView* Tree() const { return m_tree; }
    // The node whose children these are; nullptr for the top-level nodes.
    TBTreeViewNode* Owner() const { return m_owner; }

private:
    TBTreeView* m_tree;
    TBTreeViewNode* m_owner;
    QList<TBTreeViewNode*> m_items;
};

// One node: a caption, a hint, the data its owner attaches (a category, say)
// and its children.
class TBTreeViewNode {
public:
    TBTreeViewNode(TBTreeView* tree, const QString& caption, const QString& hint, void* data);
    ~TBTreeViewNode();
    TBTreeViewNode(const TBTreeViewNode&) = delete;
    TBTreeViewNode& operator=(const TBTreeViewNode&) = delete;

    QString Caption;
    QString Hint;
    void* Data;

    template <class T>
    T* DataAs() const
    {
        return static_cast<T*>(Data);
    }

    TBTreeViewNode* Parent() const { return m_parent; }
    TBTreeViewNodes& Children() { return m_children; }
    const TBTreeViewNodes& Children() const { return m_children; }
    // The collection that holds the node: its parent's children or the
    // tree's top-level nodes; nullptr while it is extracted.
    TBTreeViewNodes* Collection() const { return m_collection; }
    bool Expanded() const { return m_expanded; }
    // 1 for a top-level node, the parent's level + 1 otherwise. Taken from
    // where the node is, so a move can never leave it wrong.
    int Level() const;

    void SetExpanded(bool value);
    void ExpandRecursive();
    void CollapseRecursive();
    bool HasChildren() const { return m_children.Count() > 0; }
    bool IsLastChild() const;
    bool HasAncestor(const TBTreeViewNode* node) const;

private:
    friend class TBTreeViewNodes;
    void SetExpandedRecursive(bool value);

    TBTreeView* m_tree;
    TBTreeViewNode* m_parent = nullptr;
    TBTreeViewNodes* m_collection = nullptr;
    TBTreeViewNodes m_children;
    bool m_expanded = false;
};

// A flat pre-order list of the nodes of a collection: a node, then its
// descendants, then its next sibling. With onlyExpanded the children of a
// collapsed node are left out; without recursive only the collection itself.
class TTreeNodesIterator {
public:
    TTreeNodesIterator(const TBTreeViewNodes* nodes, bool onlyExpanded, bool recursive);
    void Refresh();
    int Count() const { return int(m_list.size()); }
    void First() { m_index = 0; }
    TBTreeViewNode* Current() const { return Items(m_index); }
    void Next() { ++m_index; }
    bool Eof() const { return m_index >= Count(); }
    TBTreeViewNode* Items(int index) const { return m_list.value(index); }
    int IndexOf(const TBTreeViewNode* node) const;
    const QList<TBTreeViewNode*>& List() const { return m_list; }

private:
    void Collect(const TBTreeViewNodes& nodes);

    const TBTreeViewNodes* m_nodes;
    bool m_onlyExpanded;
    bool m_recursive;
    QList<TBTreeViewNode*> m_list;
    int m_index = 0;
};

// Where dragged nodes go relative to the target node.
enum TTreeViewMovePoint : int { mpBefore = 0, mpInto = 1, mpAfter = 2, mpNone = 255 };

// A tree shown as a one-column grid: one row per visible node, painted by
// the control itself (indentation per level, connecting lines, expand and
// collapse buttons, optional pictures per level, a gradient over the current
// row, a check picture for selected nodes). Nodes can be selected (a list in
// selection order, separate from the current row) and, where allowed,
// dragged to a new place inside the tree.
//
// The scrolling, the keyboard movement of the current row and accessibility
// are those of the list view underneath; the pointer handling is the
// control's own.
class TBTreeView : public QListView
{
    Q_OBJECT

public:
    static const QString ButtonHint;

    explicit TBTreeView(QWidget* parent = nullptr);
    ~TBTreeView() override;

    TBTreeViewNodes& Nodes() { return m_roots; }
    const TBTreeViewNodes& Nodes() const { return m_roots; }

    // Properties
    bool AllowNodeMoving() const { return m_allowNodeMoving; }
    void SetAllowNodeMoving(bool value) { m_allowNodeMoving = value; }
    bool AllowSelection() const { return m_allowSelection; }
    void SetAllowSelection(bool value);
    QColor ColorGradientStart() const { return m_gradientStart; }
    void SetColorGradientStart(const QColor& colour);
    QColor ColorGradientEnd() const { return m_gradientEnd; }
    void SetColorGradientEnd(const QColor& colour);
    bool ExtendedSelection() const { return m_extendedSelection; }
    void SetExtendedSelection(bool value) { m_extendedSelection = value; }
    QStringList LevelImageResourceIDs() const { return m_levelImageIds; }
    void SetLevelImageResourceIDs(const QStringList& ids);
    int LevelIndentation() const { return m_levelIndentation; }
    void SetLevelIndentation(int pixels);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool value);
    bool ShowBitmaps() const { return m_showBitmaps; }
    void SetShowBitmaps(bool value);
    bool ShowLines() const { return m_showLines; }
    void SetShowLines(bool value);
    // The height of every row; never less than the font needs.
    int DefaultRowHeight() const { return m_rowHeight; }
    void SetDefaultRowHeight(int pixels);
    QColor TextColor() const { return m_textColor; }
    void SetTextColor(const QColor& colour);
    QColor BackgroundColor() const { return m_background; }
    void SetBackgroundColor(const QColor& colour);

    // Events
    std::function<void(TBTreeViewNode* nodeMoved, TBTreeViewNode* newParentNode, TTreeViewMovePoint& movePoint,
                       bool& canMove)>
        OnCanMoveNode;
    std::function<void(TBTreeViewNode* node, QFont& font)> OnGetFont;
    std::function<void(TBTreeViewNode* node, QColor& back, QColor& hiStart, QColor& hiEnd)> OnGetColor;
    std::function<void(TBTreeViewNode* node, QString& text)> OnGetNodeCaption;
    std::function<void(TBTreeViewNode* node, QString& text)> OnGetNodeHint;
    std::function<void(TBTreeViewNode* nodeMoved, TBTreeViewNode* newParentNode)> OnMoveNode;
    std::function<void(TBTreeViewNode* node, QPainter& painter, const QRect& rect)> OnPaintNode;
    // Every change of the current row (not while rows are being rebuilt).
    std::function<void(int row)> OnSelectCell;
    // The selection list changed.
    std::function<void()> OnSelectionChanged;
    // A press on a row (after the tree's own handling); a double press on a
    // row, never one on an expand button.
    std::function<void(QMouseEvent* event)> OnMouseDown;
    std::function<void()> OnDblClick;
    // Drags coming from outside the tree (entries dropped on a category):
    // OnDragOver says whether the data is accepted at that point.
    std::function<bool(QDropEvent* event)> OnDragOver;
    std::function<void(QDropEvent* event)> OnDragDrop;
    std::function<void()> OnDragLeave;

    // Updates
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const { return m_updateCount > 0; }
    void Rebuild();
    void Clear();

    // Rows and nodes
    int RowCount() const { return int(m_visible.size()); }
    TBTreeViewNode* NodeAtRow(int row) const;
    int RowOfNode(const TBTreeViewNode* node) const;
    int CurrentRow() const;
    void SetCurrentRow(int row);
    TBTreeViewNode* CurrentNode() const { return NodeAtRow(CurrentRow()); }
    TBTreeViewNode* FindNodeByData(const void* data) const;
    bool MakeNodeCurrent(TBTreeViewNode* node);
    void ExpandAll();
    void CollapseAll();
    void DeleteNode(TBTreeViewNode* node);
    // The row under a point of the viewport; -1 when there is none.
    int RowAt(const QPoint& viewportPoint) const;
    QRect RowRect(int row) const;

    // Selection
    void SelectNode(TBTreeViewNode* node, bool toggle);
    void AddToSelection(TBTreeViewNode* node);
    bool IsSelected(const TBTreeViewNode* node) const { return m_selectedSet.contains(node); }
    int SelectedCount() const { return int(m_selection.size()); }
    TBTreeViewNode* SelectedNodes(int index) const { return m_selection.value(index); }
    void ClearSelection();
    void SelectAll();
    void SelectAllVisible();
    void InvertSelection();

    void InvalidateRow(int row);
    void InvalidateNode(const TBTreeViewNode* node);
    void LoadLevelImages();

    // The text drawn for a node and its hint, with the events applied.
    QString NodeCaption(TBTreeViewNode* node) const;
    QString NodeHint(TBTreeViewNode* node) const;

    // Row geometry for a row rectangle and a level.
    QRect ButtonRect(const QRect& row, int level) const;
    QRect PictureRect(const QRect& row, int level) const;
    QRect TextRect(const QRect& row, int level) const;
    // The drop position a point at height y of a row takes.
    static TTreeViewMovePoint DropPositionAt(const QRect& row, int y);
    // Fills the rectangle with one line per pixel row from start to end
    // colour (a few lines of start colour first on short rows).
    static void GradientFill(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);
    // Whether the selected nodes may go to target at position.
    bool CanMoveTo(TBTreeViewNode* target, TTreeViewMovePoint position);

    // Drag state, for the painting and for tests
    bool Dragging() const { return m_dragging; }
    TBTreeViewNode* DragTarget() const { return m_targetNode; }
    TTreeViewMovePoint DropPosition() const { return m_dropPosition; }
    QString CurrentHint() const { return m_hint; }

    // Paints one row; what the item delegate calls.
    void DrawCell(QPainter& painter, const QRect& rect, int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions) override {}

private:
    friend class TBTreeViewNode;
    friend class TBTreeViewNodes;
    class TModel;
    class TDelegate;

    void NodeDestroyed(TBTreeViewNode* node);
    void SelectionChanged();
    void ResetDrag();
    void Drop();
    void SetHint(const QString& hint);
    void PointerPress(QMouseEvent* event, bool doublePress);
    void GridPress(QMouseEvent* event, int row, bool doublePress);
    void UpdateRowHeight();

    TBTreeViewNodes m_roots;
    TModel* m_model;
    QList<TBTreeViewNode*> m_visible;
    QHash<const TBTreeViewNode*, int> m_rowOf;
    QList<TBTreeViewNode*> m_selection;
    QSet<const TBTreeViewNode*> m_selectedSet;
    QList<QPixmap> m_levelImages;
    QStringList m_levelImageIds;
    QPixmap m_expandPicture;
    QPixmap m_collapsePicture;
    QPixmap m_checkPicture;
    int m_updateCount = 0;
    bool m_rebuilding = false;
    TBTreeViewNode* m_currentNode = nullptr;

    bool m_allowNodeMoving = false;
    bool m_allowSelection = true;
    bool m_extendedSelection = false;
    bool m_multiSelect = false;
    bool m_showBitmaps = false;
    bool m_showLines = true;
    int m_levelIndentation = 20;
    int m_rowHeight = 16;
    QColor m_gradientStart = QColor(185, 199, 202);
    QColor m_gradientEnd = QColor(227, 233, 234);
    QColor m_textColor = QColor(0, 0, 0);
    QColor m_background = QColor(255, 255, 255);

    // Dragging nodes inside the tree
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressPoint;
    TBTreeViewNode* m_sourceNode = nullptr;
    TBTreeViewNode* m_targetNode = nullptr;
    int m_targetRow = -1;
    TTreeViewMovePoint m_dropPosition = mpNone;
    QString m_hint;
};

// One BeginUpdate / EndUpdate bracket of a tree for the lifetime of the
// object. End closes it on the ordinary path, where the rebuild's own errors
// (an OnSelectCell handler's) reach the caller; when an error leaves the
// scope first, the destructor closes it, so that the tree never stays
// "updating" and stops rebuilding its rows.
class TBTreeViewUpdate {
public:
    explicit TBTreeViewUpdate(TBTreeView& tree) : m_tree(&tree) { tree.BeginUpdate(); }
    ~TBTreeViewUpdate();
    TBTreeViewUpdate(const TBTreeViewUpdate&) = delete;
    TBTreeViewUpdate& operator=(const TBTreeViewUpdate&) = delete;

    void End();

private:
    TBTreeView* m_tree;
};
