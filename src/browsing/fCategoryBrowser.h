#pragma once

#include "settings/dmMain.h"

#include <QColor>
#include <QHash>
#include <QString>
#include <QWidget>
#include <functional>

class QDropEvent;
class TBTreeView;
class TBTreeViewNode;
class TCategory;

// The category tree in the main window's left panel. Making a category
// current shows its entries in the entry browser; entries dragged from the
// entry browser's result grid and dropped on a category are moved there.
// Which categories the user collapsed is kept between runs.
//
// Selections are ignored until the window is first shown, and while it is
// frozen (the main window freezes it around the category manager, whose
// edits rebuild the tree).
class TfrmCategoryBrowser : public QWidget, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 4;
    static const QString NodeHintText;
    static const QString CollapsedSection;
    static const QString CollapsedValue;
    static QColor DropTargetColour() { return QColor(254, 221, 211); }

    explicit TfrmCategoryBrowser(TdmMain& dmMain, QWidget* parent = nullptr);
    // Stores which categories are collapsed.
    ~TfrmCategoryBrowser() override;

    // Makes the category's node current (expanding its ancestors), which
    // browses it; -1 or an unknown code does nothing.
    void SelectCategory(int code);
    // -1 when there is no current category.
    int CurrentCategoryCode() const;
    void FreezeSelection();
    void ThawSelection();
    bool Frozen() const { return m_freezeCount > 0; }
    // Rebuilds the tree after the categories changed, keeping the collapsed ones.
    void ReloadTree();
    void ExpandAll();
    void CollapseAll();
    void ApplyColorScheme() override;
    // The end of a drag of entries, dropped or not: no drop target any more.
    void tvEndDrag();

    TBTreeView* Tree() const { return tv; }
    TBTreeViewNode* DropTargetNode() const { return m_dropTarget; }

    // Shows the entries of a category (the entry browser's BrowseCategory).
    std::function<void(int code)> OnBrowseCategory;
    // Moves the entry browser's selected entries to a category.
    std::function<void(int code)> OnMoveSelectedToCategory;
    // Whether a drag comes from the entry browser's result grid.
    std::function<bool(const QObject* source)> IsEntryGridDrag;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void FillTree();
    void SaveCollapsed();
    void CollapseStored();
    void tvSelectCell(int row);
    bool tvDragOver(QDropEvent* event);
    void tvDragDrop(QDropEvent* event);
    void SetDropTarget(TBTreeViewNode* node);
    // The code of the category a node stands for; -1 for none.
    int NodeCode(const TBTreeViewNode* node) const;

    TdmMain& m_dmMain;
    TBTreeView* tv;
    bool m_shown = false;
    int m_freezeCount = 0;
    int m_rememberedCategory = -1;
    TBTreeViewNode* m_dropTarget = nullptr;
    QHash<const TBTreeViewNode*, int> m_codes;
};
