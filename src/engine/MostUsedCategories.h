#pragma once

#include <QList>
#include <QString>

class ISettingsManager;
class TCategories;
class TCategory;
struct TAppSettings;

// The two short lists the category chooser offers above the full tree: the
// categories picked most recently (newest first) and the categories holding
// most entries (most first). Both hold at most "Most used categories shown"
// references into the category tree; they own nothing.
//
// Installs itself as the root list's OnCategoryDeleted, so a category freed
// by the tree leaves both lists at once; it must not outlive the root list.
class TMostUsedCategories {
public:
    TMostUsedCategories(TCategories& root, ISettingsManager& settings, const TAppSettings& app);
    ~TMostUsedCategories();
    TMostUsedCategories(const TMostUsedCategories&) = delete;
    TMostUsedCategories& operator=(const TMostUsedCategories&) = delete;

    // The user picked the category: one more entry counted for it, first in
    // the recent list, and its place in the common list updated.
    void CategoryUsed(TCategory* category);
    void MoveToFrontOfRecent(TCategory* category);
    void AddToCommon(TCategory* category);
    void SortCommon();
    // The common list from scratch: the leaf categories of the whole tree
    // with most entries.
    void RebuildCommon();
    // The recent list from the codes stored for the current user; elements
    // that are no number and codes of categories that are gone are skipped.
    void LoadRecent();
    void SaveRecent();
    void Refresh();
    void RemoveCategory(TCategory* category);

    // The active list: CommonList when "Most used categories method" is 1,
    // else RecentList.
    int Count() const { return ActiveList().size(); }
    TCategory* Items(int index) const { return ActiveList().at(index); }

    const QList<TCategory*>& RecentList() const { return m_recentList; }
    const QList<TCategory*>& CommonList() const { return m_commonList; }

    // Where the recent list is stored.
    static const QString Section;
    static const QString RecentValueName;

private:
    const QList<TCategory*>& ActiveList() const;
    // "Most used categories shown"; never below 1, whatever was stored.
    int Capacity() const;

    TCategories& m_root;
    ISettingsManager& m_settings;
    const TAppSettings& m_app;
    QList<TCategory*> m_recentList;
    QList<TCategory*> m_commonList;
};
