#include "mainwindow/CategoryMenu.h"

#include "engine/Category.h"
#include "engine/MostUsedCategories.h"
#include "app/IDesktop.h"
#include "controls/MenuStyle.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QFont>
#include <QMenu>

namespace {

const char* const kCodeProperty = "tessarynCategoryCode";

// A name is shown as typed: an ampersand in it is no accelerator.
QString MenuCaption(const QString& text)
{
    QString caption = text;
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

const QString TCategoryMenu::MostUsedHint = QStringLiteral("MRU");
const QString TCategoryMenu::GeneralHint = QStringLiteral("GENERAL");

TCategoryMenu::TCategoryMenu(TdmMain& main, QMenu& menu, QObject* parent) : QObject(parent), m_main(main), m_menu(menu)
{
    connect(&m_menu, &QMenu::aboutToShow, this, &TCategoryMenu::BuildCategoryMenu);
    BuildCategoryMenu();
}

const QString TCategoryMenu::NoCategoriesText =
    QStringLiteral("There are no categories yet, and every entry must belong to one. Do you want to open the "
                   "category manager and create a category now?");

bool TCategoryMenu::EnsureCategories(TdmMain& main)
{
    if (main.Categories().Count() > 0)
        return true;
    if (!main.OnManageCategories)
        return false;
    if (!main.Desktop().Confirm(NoCategoriesText))
        return false;
    main.OnManageCategories();
    return main.Categories().Count() > 0;
}

int TCategoryMenu::CategoryCodeOf(const QAction* action)
{
    return action ? action->property(kCodeProperty).toInt() : 0;
}

void TCategoryMenu::BuildCategoryMenu()
{
    m_menu.clear();
    for (const QPointer<QMenu>& submenu : std::as_const(m_submenus))
        delete submenu.data();
    m_submenus.clear();

    TMostUsedCategories& mostUsed = m_main.MostUsedCategories();
    if (m_main.App.ShowMostUsedCategoriesFirst && mostUsed.Count() > 0) {
        for (int i = 0; i < mostUsed.Count(); ++i) {
            const TCategory* category = mostUsed.Items(i);
            AddCategoryItem(m_menu, category->GetPath(), category->Code(), MostUsedHint);
        }
        m_menu.addSeparator();
    }
    AddLevel(m_menu, m_main.Categories());
}

void TCategoryMenu::AddLevel(QMenu& menu, const TCategories& list)
{
    for (int i = 0; i < list.Count(); ++i) {
        const TCategory* category = list.Items(i);
        if (category->Children().Count() == 0) {
            AddCategoryItem(menu, category->Name(), category->Code(), QString());
            continue;
        }
        // The submenu itself cannot be picked; its first item stands for it.
        auto* submenu = new QMenu(MenuCaption(category->Name()), &menu);
        m_submenus.append(submenu);
        menu.addMenu(submenu);
        TCoolMenuStyle::SetItemColours(submenu->menuAction(), m_main.Colour(csMenuPen), m_main.Colour(csMenuBrush));
        QAction* general = AddCategoryItem(*submenu, QStringLiteral("[ ") + category->Name() + QStringLiteral(" ]"),
                                           category->Code(), GeneralHint);
        QFont bold = general->font();
        bold.setBold(true);
        general->setFont(bold);
        AddLevel(*submenu, category->Children());
    }
}

QAction* TCategoryMenu::AddCategoryItem(QMenu& menu, const QString& caption, int code, const QString& hint)
{
    QAction* item = menu.addAction(MenuCaption(caption));
    item->setProperty(kCodeProperty, code);
    item->setStatusTip(hint);
    // The most used categories light up in colours of their own.
    const bool mostUsed = hint == MostUsedHint;
    TCoolMenuStyle::SetItemColours(item, m_main.Colour(mostUsed ? csMostUsedMenuPen : csMenuPen),
                                   m_main.Colour(mostUsed ? csMostUsedMenuBrush : csMenuBrush));
    connect(item, &QAction::triggered, this, [this, code] { ItemClick(code); });
    return item;
}

void TCategoryMenu::ItemClick(int code)
{
    TCategory* category = m_main.Categories().FindByCode(code);
    // deleted since the menu was built: there is nothing left to pick
    if (!category)
        return;
    m_main.MostUsedCategories().CategoryUsed(category);
    if (OnCategoryPicked)
        OnCategoryPicked(category);
}
