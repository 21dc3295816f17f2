#pragma once

#include <initializer_list>

class TBTreeView;
class TCategories;

// Adds one node per category of list, in list order, to what the tree
// already holds: the list's categories at the top level, each category's
// children below its node, all the way down. A node's caption is the
// category's name and its data the category object, so the tree must be
// filled again whenever the category objects are recreated.
void FillCategoryTree(TBTreeView& tree, const TCategories& list);

class QMenu;
class QWidget;
class TdmMain;

// The colours of the scheme on a window that shows the category tree: the
// window's background and text, the pen and brush of its menus, the tree's
// text and its highlight gradient.
void ApplySchemeToCategoryWindow(const TdmMain& dmMain, QWidget& window, TBTreeView& tree,
                                 std::initializer_list<QMenu*> menus = {});
