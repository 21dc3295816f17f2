#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class TCategories;
class TCategory;
class TdmMain;

// The category chooser: a menu that offers every category to the windows
// that let the user pick one (entry editor, merge, pickers).
//
// The menu is rebuilt each time it is about to open, from the tree as it is
// then: first, when "Show most used categories first" is on and the list of
// the chosen method is not empty, the most used categories by their full
// path (hint "MRU") and a separator; then the tree. A category with children
// is a submenu that starts with "[ name ]" (bold, hint "GENERAL"), which
// stands for the category itself, followed by its children; a category
// without children is an item of its own.
//
// Picking a category counts one more use of it (TMostUsedCategories) and
// hands it to OnCategoryPicked. The items carry category codes, not
// pointers, so a tree reloaded while the menu was closed cannot leave an
// item pointing at a freed category.
class TCategoryMenu : public QObject
{
    Q_OBJECT

public:
    static const QString MostUsedHint;
    static const QString GeneralHint;

    // Fills menu now and every time it is about to show. The menu stays the
    // caller's; it must outlive this object or be destroyed with it.
    TCategoryMenu(TdmMain& main, QMenu& menu, QObject* parent = nullptr);

    // The window's own action for the picked category.
    std::function<void(TCategory* category)> OnCategoryPicked;

    void BuildCategoryMenu();

    // Every entry needs a category. When none exists yet, says so and offers
    // to open the category manager; true when a category exists (now).
    static const QString NoCategoriesText;
    static bool EnsureCategories(TdmMain& main);

    // The code an item of the menu stands for; 0 for anything else.
    static int CategoryCodeOf(const QAction* action);

private:
    void AddLevel(QMenu& menu, const TCategories& list);
    QAction* AddCategoryItem(QMenu& menu, const QString& caption, int code, const QString& hint);
    void ItemClick(int code);

    TdmMain& m_main;
    QMenu& m_menu;
    // Submenus of the previous build; a QMenu keeps its submenus as children,
    // so clearing the items alone would pile them up build after build.
    QList<QPointer<QMenu>> m_submenus;
};
