#include "engine/FillCategoryTree.h"

#include "controls/BTreeView.h"
#include "engine/Category.h"
#include "settings/dmMain.h"

#include <QMenu>
#include <QPalette>

namespace {

void AddLevel(TBTreeView& tree, const TCategories& list, TBTreeViewNode* parent)
{
    for (int i = 0; i < list.Count(); ++i) {
        TCategory* category = list.Items(i);
        TBTreeViewNode* node = parent ? tree.Nodes().AddChildNode(parent, category->Name(), QString(), -1, category)
                                      : tree.Nodes().AddNode(category->Name(), QString(), -1, category);
        AddLevel(tree, category->Children(), node);
    }
}

} // namespace

void FillCategoryTree(TBTreeView& tree, const TCategories& list)
{
    // One rebuild of the rows for the whole tree.
    tree.BeginUpdate();
    AddLevel(tree, list, nullptr);
    tree.EndUpdate();
}

void ApplySchemeToCategoryWindow(const TdmMain& dmMain, QWidget& window, TBTreeView& tree,
                                 std::initializer_list<QMenu*> menus)
{
    QPalette own = window.palette();
    own.setColor(QPalette::Window, dmMain.Colour(csWindow));
    own.setColor(QPalette::WindowText, dmMain.Colour(csWindowText));
    window.setPalette(own);
    window.setAutoFillBackground(true);
    for (QMenu* menu : menus) {
        if (!menu)
            continue;
        QPalette colours = menu->palette();
        colours.setColor(QPalette::Text, dmMain.Colour(csMenuPen));
        colours.setColor(QPalette::WindowText, dmMain.Colour(csMenuPen));
        colours.setColor(QPalette::Highlight, dmMain.Colour(csMenuBrush));
        colours.setColor(QPalette::HighlightedText, dmMain.Colour(csWindowText));
        menu->setPalette(colours);
    }
    tree.SetTextColor(dmMain.Colour(csGridText));
    tree.SetColorGradientStart(dmMain.Colour(csHighlightStart));
    tree.SetColorGradientEnd(dmMain.Colour(csHighlightEnd));
    tree.viewport()->update();
}
