#include "engine/MostUsedCategories.h"

#include "engine/Category.h"
#include "engine/FileHelpers.h"
#include "settings/AppSettings.h"
#include "settings/ISettingsManager.h"

#include <algorithm>

const QString TMostUsedCategories::Section = QStringLiteral("Settings\\Most used categories");
const QString TMostUsedCategories::RecentValueName = QStringLiteral("Recent categories used");

TMostUsedCategories::TMostUsedCategories(TCategories& root, ISettingsManager& settings, const TAppSettings& app)
    : m_root(root), m_settings(settings), m_app(app)
{
    m_root.OnCategoryDeleted = [this](TCategory* category) { RemoveCategory(category); };
}

TMostUsedCategories::~TMostUsedCategories()
{
    m_root.OnCategoryDeleted = nullptr;
}

int TMostUsedCategories::Capacity() const
{
    return std::max(1, m_app.MostUsedCategoriesShown);
}

const QList<TCategory*>& TMostUsedCategories::ActiveList() const
{
    return m_app.MostUsedCategoriesMethod == 1 ? m_commonList : m_recentList;
}

void TMostUsedCategories::CategoryUsed(TCategory* category)
{
    if (!category)
        return;
    category->SetOccurences(category->Occurences() + 1);
    MoveToFrontOfRecent(category);
    AddToCommon(category);
    SortCommon();
}

void TMostUsedCategories::MoveToFrontOfRecent(TCategory* category)
{
    if (m_recentList.contains(category))
        m_recentList.removeOne(category);
    else if (m_recentList.size() >= Capacity())
        m_recentList.removeLast();
    m_recentList.prepend(category);
}

void TMostUsedCategories::AddToCommon(TCategory* category)
{
    if (m_commonList.contains(category))
        return;
    // From the end towards the front: the category goes where the first item
    // with fewer entries stands; SortCommon puts the list in order afterwards.
    for (int i = int(m_commonList.size()) - 1; i >= 0; --i) {
        if (m_commonList[i]->Occurences() < category->Occurences()) {
            m_commonList.insert(i, category);
            if (m_commonList.size() > Capacity())
                m_commonList.removeLast();
            return;
        }
    }
    if (m_commonList.size() < Capacity())
        m_commonList.append(category);
}

void TMostUsedCategories::SortCommon()
{
    if (m_commonList.isEmpty())
        return;
    TCategorySorterByOccurence sorter(m_commonList);
    ShellSort(sorter);
}

void TMostUsedCategories::RebuildCommon()
{
    m_commonList.clear();
    TCateroryRecursiveIterator it(m_root);
    for (it.First(); !it.IsDone(); it.Next()) {
        TCategory* category = it.CurrentItem();
        if (category->Children().Count() == 0) {
            AddToCommon(category);
            SortCommon();
        }
    }
}

void TMostUsedCategories::LoadRecent()
{
    m_recentList.clear();
    QString stored;
    {
        TSettingsAccess access(m_settings);
        m_settings.UseUserAllComputers();
        stored = m_settings.ReadString(RecentValueName, QString(), Section);
    }
    QList<int> codes;
    CommaTextToCodes(stored, codes);
    // Oldest first, each to the front: the list ends in the stored order,
    // trimmed to the capacity.
    for (int i = int(codes.size()) - 1; i >= 0; --i)
        if (TCategory* category = m_root.FindByCode(codes[i]))
            MoveToFrontOfRecent(category);
}

void TMostUsedCategories::SaveRecent()
{
    QList<int> codes;
    for (const TCategory* category : std::as_const(m_recentList))
        codes.append(category->Code());
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    m_settings.WriteString(RecentValueName, CodesToCommaText(codes), Section);
}

void TMostUsedCategories::Refresh()
{
    RebuildCommon();
    LoadRecent();
}

void TMostUsedCategories::RemoveCategory(TCategory* category)
{
    m_recentList.removeAll(category);
    m_commonList.removeAll(category);
}
