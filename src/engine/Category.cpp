#include "engine/Category.h"

#include "app/Errors.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "engine/FileHelpers.h"

#include <QHash>
#include <QSet>
#include <utility>

namespace {

const QString ParentNameIndex = QStringLiteral("parent;name");

// Pre-order walk of a list's subtree.
void CollectPreOrder(const TCategories& list, QList<TCategory*>& out)
{
    for (int i = 0; i < list.Count(); ++i) {
        TCategory* category = list.Items(i);
        out.append(category);
        CollectPreOrder(category->Children(), out);
    }
}

int InsertPosition(int index, int count)
{
    return (index < 0 || index > count) ? count : index;
}

} // namespace

// --- TCategories ------------------------------------------------------------

TCategories::TCategories(TdmConnection* connection, TCategory* parent) : m_connection(connection), m_parent(parent) {}

TCategories::~TCategories()
{
    FreeAll();
}

TCategories* TCategories::Root()
{
    return const_cast<TCategories*>(std::as_const(*this).Root());
}

const TCategories* TCategories::Root() const
{
    const TCategories* list = this;
    while (list->m_parent) {
        list = list->m_parent->OwnerList();
        if (!list)
            return nullptr;
    }
    return list;
}

ClientRecordSet* TCategories::RecordSet() const
{
    const TCategories* root = Root();
    return root ? root->m_recordSet : nullptr;
}

TdmConnection* TCategories::Connection() const
{
    const TCategories* root = Root();
    return root ? root->m_connection : nullptr;
}

ClientRecordSet* TCategories::FetchRecordSet()
{
    if (!m_connection)
        throw EDatabaseError(QStringLiteral("The category list has no database connection"));
    const DataPackets packets = m_connection->GetCategories();
    auto recordSet = std::make_unique<ClientRecordSet>();
    recordSet->LoadFromPacket(packets.value(0));
    m_ownedRecordSet = std::move(recordSet);
    m_recordSet = m_ownedRecordSet.get();
    return m_recordSet;
}

void TCategories::Load(int parentCode, ClientRecordSet* recordSet)
{
    Clear();
    TCategories* root = Root();
    if (!root)
        throw ETessarynError(QStringLiteral("A category that is in no list cannot load its children"));
    if (recordSet) {
        if (root == this && recordSet != m_recordSet) {
            // A record set handed in replaces the one this list fetched itself.
            m_ownedRecordSet.reset();
            m_recordSet = recordSet;
        }
    } else {
        recordSet = (root == this || !root->m_recordSet) ? root->FetchRecordSet() : root->m_recordSet;
    }

    if (recordSet->IndexFieldNames() != ParentNameIndex)
        recordSet->SetIndexFieldNames(ParentNameIndex);
    // The whole tree is built from one pass over all rows, which leaves the
    // record set unnarrowed for its other users (the lookups by code).
    LoadLevel(parentCode, *recordSet);
    recordSet->First();
}

void TCategories::LoadLevel(int parentCode, ClientRecordSet& recordSet)
{
    // One pass over the record set in its "parent;name" order groups the rows
    // by parent; the tree is then built from the groups. Narrowing the record
    // set to each category's children in turn would rebuild its view once per
    // category, which grows with the square of the tree's size.
    struct TRowData {
        int code;
        QString name;
        QString description;
        int occurences;
    };
    const int code = recordSet.FieldIndex(QStringLiteral("code"));
    const int parent = recordSet.FieldIndex(QStringLiteral("parent"));
    const int name = recordSet.FieldIndex(QStringLiteral("name"));
    const int description = recordSet.FieldIndex(QStringLiteral("description"));
    const int occurences = recordSet.FieldIndex(QStringLiteral("Occurences"));
    if (code < 0 || parent < 0 || name < 0 || description < 0)
        throw EDatabaseError(QStringLiteral("The categories lack the columns code, parent, name or description"));
    QHash<int, QList<TRowData>> byParent;
    recordSet.CancelRange();
    for (recordSet.First(); !recordSet.Eof(); recordSet.Next())
        byParent[recordSet.Value(parent).toInt()].append({recordSet.Value(code).toInt(),
                                                          recordSet.Value(name).toString(),
                                                          recordSet.Value(description).toString(),
                                                          occurences >= 0 ? recordSet.Value(occurences).toInt() : 0});

    const std::function<void(TCategories&, int)> build = [&](TCategories& list, int listParent) {
        const auto rows = byParent.constFind(listParent);
        if (rows == byParent.constEnd())
            return;
        for (const TRowData& row : *rows) {
            // A row that names itself as its parent would make the tree endless.
            if (row.code == listParent)
                continue;
            auto category = std::make_unique<TCategory>(row.code, row.name, row.description, row.occurences);
            category->m_ownerList = &list;
            list.m_items.append(category.release());
        }
        for (TCategory* category : std::as_const(list.m_items))
            build(category->m_children, category->m_code);
    };
    build(*this, parentCode);
}

int TCategories::IndexOf(const TCategory* category) const
{
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i] == category)
            return i;
    return -1;
}

TCategory* TCategories::FindByCode(int code) const
{
    TCateroryRecursiveIterator it(*this);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.CurrentItem()->Code() == code)
            return it.CurrentItem();
    return nullptr;
}

QList<int> TCategories::DescendantCodes(int code) const
{
    QList<int> codes;
    const TCategory* category = FindByCode(code);
    if (!category)
        return codes;
    QList<TCategory*> subtree;
    CollectPreOrder(category->Children(), subtree);
    QSet<int> seen{code};
    codes.append(code);
    for (const TCategory* item : std::as_const(subtree))
        if (!seen.contains(item->Code())) {
            seen.insert(item->Code());
            codes.append(item->Code());
        }
    return codes;
}

TCategory* TCategories::AddCategory(std::unique_ptr<TCategory> category, int index)
{
    if (!category)
        return nullptr;
    // The code is drawn before the object joins the list, so a failing
    // request leaves the tree as it was.
    if (category->m_code == 0) {
        TdmConnection* connection = Connection();
        if (!connection)
            throw EDatabaseError(QStringLiteral("The category list has no database connection"));
        category->m_code = connection->GetNextRecID(QStringLiteral("categories"));
    }
    TCategory* added = InsertCategory(std::move(category), index);
    if (ClientRecordSet* rs = RecordSet(); rs && rs->Active()) {
        rs->Append();
        rs->SetValue(QStringLiteral("code"), added->m_code);
        rs->SetValue(QStringLiteral("GUID"), NewGuidText());
        rs->SetValue(QStringLiteral("name"), added->m_name);
        rs->SetValue(QStringLiteral("description"), added->m_description);
        rs->SetValue(QStringLiteral("parent"), m_parent ? m_parent->m_code : 0);
        rs->Post();
    }
    return added;
}

void TCategories::DeleteCategory(TCategory* category)
{
    const int index = IndexOf(category);
    if (index < 0)
        return;
    if (ClientRecordSet* rs = category->LocateRecord())
        rs->Delete();
    NotifyDeleted(category);
    m_items.removeAt(index);
    delete category;
}

std::unique_ptr<TCategory> TCategories::ExtractCategory(TCategory* category)
{
    const int index = IndexOf(category);
    if (index < 0)
        return nullptr;
    m_items.removeAt(index);
    category->m_ownerList = nullptr;
    return std::unique_ptr<TCategory>(category);
}

TCategory* TCategories::InsertCategory(std::unique_ptr<TCategory> category, int index)
{
    if (!category)
        return nullptr;
    TCategory* inserted = category.release();
    if (inserted->m_ownerList)
        inserted->m_ownerList->m_items.removeOne(inserted);
    inserted->m_ownerList = this;
    m_items.insert(InsertPosition(index, int(m_items.size())), inserted);
    return inserted;
}

bool TCategories::IsModified() const
{
    const ClientRecordSet* rs = RecordSet();
    return rs && (rs->HasUnpostedChange() || rs->HasChanges());
}

void TCategories::NotifyDeleted(TCategory* category)
{
    TCategories* root = Root();
    if (!root || !root->OnCategoryDeleted)
        return;
    QList<TCategory*> subtree{category};
    CollectPreOrder(category->Children(), subtree);
    for (TCategory* item : std::as_const(subtree))
        root->OnCategoryDeleted(item);
}

void TCategories::Clear()
{
    for (TCategory* category : std::as_const(m_items))
        NotifyDeleted(category);
    FreeAll();
}

void TCategories::FreeAll()
{
    const QList<TCategory*> items = std::exchange(m_items, {});
    qDeleteAll(items);
}

// --- TCategory --------------------------------------------------------------

TCategory::TCategory(int code, const QString& name, const QString& description, int occurences)
    : m_code(code), m_name(name), m_description(description), m_occurences(occurences), m_children(nullptr, this)
{
}

QString TCategory::GetPath() const
{
    const TCategory* parent = m_ownerList ? m_ownerList->ParentCategory() : nullptr;
    return parent ? parent->GetPath() + QStringLiteral(" -> ") + m_name : m_name;
}

ClientRecordSet* TCategory::LocateRecord() const
{
    ClientRecordSet* rs = m_ownerList ? m_ownerList->RecordSet() : nullptr;
    if (!rs || !rs->Active())
        return nullptr;
    rs->SetIndexFieldNames(QStringLiteral("code"));
    return rs->Locate(QStringLiteral("code"), m_code) ? rs : nullptr;
}

void TCategory::UpdateRecord(const QString& field, const QVariant& value)
{
    if (ClientRecordSet* rs = LocateRecord()) {
        rs->Edit();
        rs->SetValue(field, value);
        rs->Post();
    }
}

void TCategory::SetName(const QString& name)
{
    m_name = name;
    UpdateRecord(QStringLiteral("name"), name);
}

void TCategory::SetDescription(const QString& description)
{
    m_description = description;
    UpdateRecord(QStringLiteral("description"), description);
}

void TCategory::MoveTo(TCategories& list, int index)
{
    for (const TCategories* l = &list; l && l->ParentCategory(); l = l->ParentCategory()->OwnerList())
        if (l->ParentCategory() == this)
            throw ETessarynError(QStringLiteral("A category cannot be moved below itself."));
    if (!m_ownerList)
        throw ETessarynError(QStringLiteral("A category that is in no list cannot be moved."));
    list.InsertCategory(m_ownerList->ExtractCategory(this), index);
    const TCategory* parent = list.ParentCategory();
    UpdateRecord(QStringLiteral("parent"), parent ? parent->m_code : 0);
}

void TCategory::LoadChildren(ClientRecordSet* recordSet)
{
    m_children.Load(m_code, recordSet);
}

// --- iterators and sorter ---------------------------------------------------

TCategory* TCateroryIterator::CurrentItem() const
{
    return (m_index >= 0 && m_index < m_list.Count()) ? m_list.Items(m_index) : nullptr;
}

TCateroryRecursiveIterator::TCateroryRecursiveIterator(const TCategories& list)
{
    CollectPreOrder(list, m_items);
}

TCategory* TCateroryRecursiveIterator::CurrentItem() const
{
    return (m_index >= 0 && m_index < int(m_items.size())) ? m_items[m_index] : nullptr;
}

int TCategorySorterByOccurence::Compare(int i, int j) const
{
    const int a = m_list.at(i)->Occurences();
    const int b = m_list.at(j)->Occurences();
    return a > b ? -1 : (a < b ? 1 : 0);
}

void TCategorySorterByOccurence::Exchange(int i, int j)
{
    m_list.swapItemsAt(i, j);
}
