#pragma once

#include "engine/Sortable.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class ClientRecordSet;
class TCategories;
class TCategory;
class TdmConnection;

// An ordered list of sibling categories. The root list of the tree is made
// with the gateway and owns the one record set of all categories; every other
// list belongs to a category (its Children) and reaches the gateway and the
// record set through the root, so the whole tree always works on one record set.
//
// The list owns its categories: freeing the list (or Clear) frees them and,
// through their Children, their whole subtrees.
class TCategories {
public:
    explicit TCategories(TdmConnection* connection, TCategory* parent = nullptr);
    ~TCategories();
    TCategories(const TCategories&) = delete;
    TCategories& operator=(const TCategories&) = delete;

    // Builds this list and every list below it from the rows whose parent
    // column is parentCode, siblings in name order. Without a record set the
    // root fetches every category from the gateway into a record set of its
    // own (a child list uses the root's). The record set is left indexed on
    // "parent;name" with no range and the cursor on its first row.
    void Load(int parentCode, ClientRecordSet* recordSet = nullptr);

    int Count() const { return int(m_items.size()); }
    TCategory* Items(int index) const { return m_items.at(index); }
    int IndexOf(const TCategory* category) const;

    // The category with that code in this list or any list below it (the
    // first one in pre-order), or nullptr.
    TCategory* FindByCode(int code) const;
    // The code and the codes of every category below it, depth first in
    // pre-order, each once; empty when no category of this subtree has it.
    QList<int> DescendantCodes(int code) const;

    // Takes the category at index (-1 appends). A category without a code
    // gets one from the database first; then its record is appended to the
    // record set. Returns the category.
    TCategory* AddCategory(std::unique_ptr<TCategory> category, int index = -1);
    // Deletes the category's record (not the records of its children: only
    // childless categories are deleted by the program), tells the root's
    // OnCategoryDeleted of it and of every category below it, and frees it
    // with its subtree.
    void DeleteCategory(TCategory* category);
    // Take a category object out of the list, or put one in (-1 appends),
    // without touching any record.
    std::unique_ptr<TCategory> ExtractCategory(TCategory* category);
    TCategory* InsertCategory(std::unique_ptr<TCategory> category, int index = -1);

    // True when the record set holds an unposted edit or unsent changes.
    bool IsModified() const;
    // Frees every category of the list with its subtree; OnCategoryDeleted
    // hears of each, so nobody keeps a reference to a freed category.
    void Clear();

    TCategory* ParentCategory() const { return m_parent; }
    bool IsRoot() const { return m_parent == nullptr; }
    // The root of the tree this list belongs to (itself for the root); nullptr
    // for the children of a category that is in no list.
    TCategories* Root();
    const TCategories* Root() const;
    // The record set of all categories (the root's), or nullptr before the
    // first load. After edits, ApplyCategoryUpdates({RecordSet()->GetDelta()})
    // writes them.
    ClientRecordSet* RecordSet() const;
    TdmConnection* Connection() const;

    // Set on the root list: called for every category about to be freed by
    // DeleteCategory or Clear (the most-used lists drop it).
    std::function<void(TCategory*)> OnCategoryDeleted;

private:
    void LoadLevel(int parentCode, ClientRecordSet& recordSet);
    ClientRecordSet* FetchRecordSet();
    void NotifyDeleted(TCategory* category);
    void FreeAll();

    TdmConnection* m_connection;
    TCategory* m_parent;
    QList<TCategory*> m_items;
    ClientRecordSet* m_recordSet = nullptr;            // root only
    std::unique_ptr<ClientRecordSet> m_ownedRecordSet; // root only: fetched by Load
};

// One category of the tree, mirroring one row of the categories record set.
class TCategory {
public:
    explicit TCategory(int code = 0, const QString& name = QString(), const QString& description = QString(),
                       int occurences = 0);
    TCategory(const TCategory&) = delete;
    TCategory& operator=(const TCategory&) = delete;

    int Code() const { return m_code; }
    const QString& Name() const { return m_name; }
    const QString& Description() const { return m_description; }
    // Entries filed under the category at the last load, plus the picks
    // made since; never written back.
    int Occurences() const { return m_occurences; }
    void SetOccurences(int occurences) { m_occurences = occurences; }

    // The list that holds the category; nullptr while it is in none.
    TCategories* OwnerList() const { return m_ownerList; }
    TCategories& Children() { return m_children; }
    const TCategories& Children() const { return m_children; }

    // The names from the top of the tree down to this one, joined by " -> ".
    QString GetPath() const;
    // Change the field and the category's record (when it has one).
    void SetName(const QString& name);
    void SetDescription(const QString& description);
    // Re-parents the category under list at index (-1 appends) and sets the
    // parent column of its record. Moving a category below itself, or one
    // that is in no list, is refused with ETessarynError.
    void MoveTo(TCategories& list, int index = -1);
    void LoadChildren(ClientRecordSet* recordSet);

private:
    friend class TCategories;
    // Puts the record set's cursor on the category's row (index "code") and
    // returns the record set; nullptr when there is no such row.
    ClientRecordSet* LocateRecord() const;
    void UpdateRecord(const QString& field, const QVariant& value);

    int m_code;
    QString m_name;
    QString m_description;
    int m_occurences;
    TCategories* m_ownerList = nullptr;
    TCategories m_children;
};

// Walks categories: First, then Next until IsDone, reading CurrentItem.
class ICategoryIterator {
public:
    virtual ~ICategoryIterator() = default;
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual bool IsDone() const = 0;
    virtual TCategory* CurrentItem() const = 0;
};

// The categories of one list, by index; sees the list as it is at each step.
class TCateroryIterator : public ICategoryIterator {
public:
    explicit TCateroryIterator(const TCategories& list) : m_list(list) {}
    void First() override { m_index = 0; }
    void Next() override { ++m_index; }
    bool IsDone() const override { return m_index > m_list.Count() - 1; }
    TCategory* CurrentItem() const override;

private:
    const TCategories& m_list;
    int m_index = 0;
};

// A list's whole subtree in pre-order (a category, the subtree of its
// children, then the next category), as it was when the iterator was made:
// later changes to the tree are not seen.
class TCateroryRecursiveIterator : public ICategoryIterator {
public:
    explicit TCateroryRecursiveIterator(const TCategories& list);
    void First() override { m_index = 0; }
    void Next() override { ++m_index; }
    bool IsDone() const override { return m_index > int(m_items.size()) - 1; }
    TCategory* CurrentItem() const override;

private:
    QList<TCategory*> m_items;
    int m_index = 0;
};

// Orders a list of categories by Occurences, most first.
class TCategorySorterByOccurence : public ISortable {
public:
    explicit TCategorySorterByOccurence(QList<TCategory*>& list) : m_list(list) {}
    int Compare(int i, int j) const override;
    void Exchange(int i, int j) override;
    int LowIndex() const override { return 0; }
    int HighIndex() const override { return int(m_list.size()) - 1; }

private:
    QList<TCategory*>& m_list;
};
