#include "TestDatabase.h"
#include "app/Errors.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/FileHelpers.h"
#include "engine/MostUsedCategories.h"
#include "settings/AppSettings.h"
#include "settings/ISettingsManager.h"

#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct TRow {
    int code;
    int parent;
    QString name;
    int occurences = 0;
};

DataPacket CategoryPacket(const QList<TRow>& rows)
{
    DataPacket packet;
    packet.fields = {{"code", TFieldType::Integer}, {"parent", TFieldType::Integer}, {"name", TFieldType::Text},
                     {"description", TFieldType::Text}, {"GUID", TFieldType::Text},
                     {"Occurences", TFieldType::Integer}};
    for (const TRow& r : rows)
        packet.rows.append({r.code, r.parent, r.name, QString("about " + r.name), QVariant(), r.occurences});
    return packet;
}

QStringList Names(const TCategories& list)
{
    QStringList names;
    for (int i = 0; i < list.Count(); ++i)
        names << list.Items(i)->Name();
    return names;
}

QList<int> Codes(const QList<TCategory*>& list)
{
    QList<int> codes;
    for (const TCategory* c : list)
        codes << c->Code();
    return codes;
}

QList<int> PreOrder(const TCategories& list)
{
    QList<int> codes;
    TCateroryRecursiveIterator it(list);
    for (it.First(); !it.IsDone(); it.Next())
        codes << it.CurrentItem()->Code();
    return codes;
}

// A tree held in a record set built in memory:
//   Alpha(3)  Beta(2)  Gamma(4)  Home(5) -> { Kitchen(8), Garden(9) -> Pond(12) }  Work(1) -> Clients(6) -> Offers(7)
class CategoryTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        rs.LoadFromPacket(CategoryPacket({{1, 0, "Work"}, {2, 0, "Beta"}, {3, 0, "Alpha"}, {4, 0, "Gamma"},
                                          {5, 0, "Home"}, {6, 1, "Clients", 3}, {7, 6, "Offers", 2},
                                          {9, 5, "Garden"}, {8, 5, "Kitchen"}, {12, 9, "Pond"}}));
        root.Load(0, &rs);
    }

    QString NameInRecord(int code)
    {
        return rs.Locate("code", code) ? rs.AsString("name") : QString("<no row>");
    }

    ClientRecordSet rs;
    TCategories root{nullptr};
};

TEST_F(CategoryTree, LoadsSiblingsInNameOrderAndLeavesTheWholeRecordSetVisible)
{
    EXPECT_EQ(Names(root), QStringList({"Alpha", "Beta", "Gamma", "Home", "Work"}));
    TCategory* home = root.FindByCode(5);
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(Names(home->Children()), QStringList({"Garden", "Kitchen"}));
    EXPECT_EQ(home->Children().ParentCategory(), home);
    EXPECT_EQ(home->Children().RecordSet(), &rs);
    EXPECT_EQ(root.FindByCode(6)->Occurences(), 3);
    EXPECT_EQ(root.FindByCode(7)->Description(), "about Offers");
    EXPECT_EQ(PreOrder(root), QList<int>({3, 2, 4, 5, 9, 12, 8, 1, 6, 7}));
    // no range left behind: every row can be found again
    EXPECT_EQ(rs.RecordCount(), 10);
    EXPECT_EQ(NameInRecord(12), "Pond");

    root.Load(0, &rs);   // a reload replaces, never duplicates
    EXPECT_EQ(PreOrder(root), QList<int>({3, 2, 4, 5, 9, 12, 8, 1, 6, 7}));
}

TEST(CategoryLoad, ARowThatIsItsOwnParentDoesNotLoopForever)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(CategoryPacket({{0, 0, "Broken"}, {3, 0, "Fine"}}));
    TCategories root(nullptr);
    root.Load(0, &rs);
    EXPECT_EQ(Names(root), QStringList({"Fine"}));
}

TEST_F(CategoryTree, PathRunsFromTheTopDown)
{
    EXPECT_EQ(root.FindByCode(3)->GetPath(), "Alpha");
    EXPECT_EQ(root.FindByCode(7)->GetPath(), "Work -> Clients -> Offers");
}

TEST(CategoryFind, FindsInDeepTreesAndReturnsTheFirstInPreOrder)
{
    // a chain 300 levels deep under "A", a code repeated deep in the chain and
    // again in a later top-level category
    QList<TRow> rows{{1, 0, "A"}, {2, 0, "B"}};
    for (int level = 1; level <= 300; ++level)
        rows.append({1000 + level, level == 1 ? 1 : 1000 + level - 1, QString("L%1").arg(level)});
    rows.append({777, 1300, "deep twin"});
    rows.append({777, 2, "shallow twin"});
    ClientRecordSet rs;
    rs.LoadFromPacket(CategoryPacket(rows));
    TCategories root(nullptr);
    root.Load(0, &rs);

    const TCategory* deepest = root.FindByCode(1300);
    ASSERT_NE(deepest, nullptr);
    EXPECT_EQ(deepest->Name(), "L300");
    EXPECT_TRUE(deepest->GetPath().startsWith("A -> L1 -> L2 -> "));
    EXPECT_EQ(root.FindByCode(777)->Name(), "deep twin");
    EXPECT_EQ(root.FindByCode(4242), nullptr);
    EXPECT_EQ(root.FindByCode(2)->Children().FindByCode(1300), nullptr);   // searches its own subtree only
}

TEST_F(CategoryTree, DescendantCodesArePreOrderAndEmptyForUnknownCodes)
{
    EXPECT_EQ(root.DescendantCodes(5), QList<int>({5, 9, 12, 8}));
    EXPECT_EQ(root.DescendantCodes(1), QList<int>({1, 6, 7}));
    EXPECT_EQ(root.DescendantCodes(12), QList<int>({12}));
    EXPECT_TRUE(root.DescendantCodes(99).isEmpty());
    EXPECT_TRUE(root.FindByCode(1)->Children().DescendantCodes(5).isEmpty());
}

TEST(CategoryDescendants, ChildrenEightAndNineWithTwelveBelowNine)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(CategoryPacket({{5, 0, "Five"}, {9, 5, "Nine"}, {8, 5, "Eight"}, {12, 9, "Twelve"}}));
    TCategories root(nullptr);
    root.Load(0, &rs);
    EXPECT_EQ(root.DescendantCodes(5), QList<int>({5, 8, 9, 12}));
}

TEST_F(CategoryTree, IteratorsWalkOneListOrASnapshotOfTheSubtree)
{
    TCateroryIterator flat(root);
    QStringList names;
    for (flat.First(); !flat.IsDone(); flat.Next())
        names << flat.CurrentItem()->Name();
    EXPECT_EQ(names, Names(root));

    TCategories empty(nullptr);
    TCateroryIterator none(empty);
    none.First();
    EXPECT_TRUE(none.IsDone());

    TCateroryRecursiveIterator snapshot(root);
    root.AddCategory(std::make_unique<TCategory>(50, "Later"));
    int seen = 0;
    for (snapshot.First(); !snapshot.IsDone(); snapshot.Next()) {
        EXPECT_NE(snapshot.CurrentItem()->Code(), 50);
        ++seen;
    }
    EXPECT_EQ(seen, 10);
}

TEST_F(CategoryTree, RenamingChangesTheRowOrOnlyTheObjectWhenThereIsNoRow)
{
    TCategory* offers = root.FindByCode(7);
    EXPECT_FALSE(root.IsModified());
    offers->SetName("Quotes");
    offers->SetDescription("sent out");
    EXPECT_EQ(NameInRecord(7), "Quotes");
    EXPECT_EQ(rs.AsString("description"), "sent out");
    EXPECT_EQ(rs.ChangeCount(), 1);
    EXPECT_TRUE(root.IsModified());

    ASSERT_TRUE(rs.Locate("code", 12));
    rs.Delete();
    const int changes = rs.ChangeCount();
    TCategory* pond = root.FindByCode(12);
    pond->SetName("Lake");
    EXPECT_EQ(pond->Name(), "Lake");
    EXPECT_EQ(rs.ChangeCount(), changes);
    EXPECT_FALSE(rs.Locate("name", "Lake"));
}

TEST_F(CategoryTree, IsModifiedSeesAnUnpostedEdit)
{
    ASSERT_TRUE(rs.Locate("code", 3));
    rs.SetValue("name", "typing");
    EXPECT_TRUE(root.IsModified());
    rs.Cancel();
    EXPECT_FALSE(root.IsModified());
}

TEST_F(CategoryTree, MoveToReparentsTheObjectAndTheRow)
{
    TCategory* offers = root.FindByCode(7);
    offers->MoveTo(root, 0);
    EXPECT_EQ(root.Items(0), offers);
    EXPECT_EQ(offers->OwnerList(), &root);
    EXPECT_EQ(offers->GetPath(), "Offers");
    EXPECT_EQ(root.FindByCode(6)->Children().Count(), 0);
    ASSERT_TRUE(rs.Locate("code", 7));
    EXPECT_EQ(rs.AsInteger("parent"), 0);

    TCategory* garden = root.FindByCode(9);   // moves with its child Pond
    TCategories& work = root.FindByCode(1)->Children();
    garden->MoveTo(work);
    EXPECT_EQ(Names(work), QStringList({"Clients", "Garden"}));
    EXPECT_EQ(root.FindByCode(12)->GetPath(), "Work -> Garden -> Pond");
    ASSERT_TRUE(rs.Locate("code", 9));
    EXPECT_EQ(rs.AsInteger("parent"), 1);
    ASSERT_TRUE(rs.Locate("code", 12));
    EXPECT_EQ(rs.AsInteger("parent"), 9);

    // below itself: refused, nothing changes
    const int changes = rs.ChangeCount();
    TCategory* workCategory = root.FindByCode(1);
    EXPECT_THROW(workCategory->MoveTo(root.FindByCode(9)->Children()), ETessarynError);
    EXPECT_THROW(workCategory->MoveTo(workCategory->Children()), ETessarynError);
    EXPECT_EQ(workCategory->OwnerList(), &root);
    EXPECT_EQ(rs.ChangeCount(), changes);
}

TEST_F(CategoryTree, DeleteRemovesTheRowAndTellsOfTheWholeSubtree)
{
    QList<int> told;
    root.OnCategoryDeleted = [&told](TCategory* c) { told << c->Code(); };
    root.FindByCode(5)->Children().DeleteCategory(root.FindByCode(9));   // from a child list: the root hears
    EXPECT_EQ(told, QList<int>({9, 12}));
    EXPECT_EQ(Names(root.FindByCode(5)->Children()), QStringList({"Kitchen"}));
    EXPECT_EQ(root.FindByCode(12), nullptr);
    const Delta delta = rs.GetDelta();
    ASSERT_EQ(delta.rows.size(), 1);   // the child's row is left to the caller
    EXPECT_EQ(delta.rows[0].kind, TChangeKind::Delete);
    EXPECT_EQ(NameInRecord(12), "Pond");

    told.clear();
    root.DeleteCategory(root.FindByCode(7));   // not in this list: nothing happens
    EXPECT_TRUE(told.isEmpty());
    EXPECT_NE(root.FindByCode(7), nullptr);

    root.Clear();
    EXPECT_EQ(root.Count(), 0);
    EXPECT_EQ(told, QList<int>({3, 2, 4, 5, 8, 1, 6, 7}));
}

TEST_F(CategoryTree, ExtractAndInsertTouchOnlyTheObjects)
{
    TCategory* gamma = root.FindByCode(4);
    std::unique_ptr<TCategory> taken = root.ExtractCategory(gamma);
    ASSERT_EQ(taken.get(), gamma);
    EXPECT_EQ(gamma->OwnerList(), nullptr);
    EXPECT_EQ(root.IndexOf(gamma), -1);
    EXPECT_EQ(root.ExtractCategory(gamma), nullptr);

    TCategories& work = root.FindByCode(1)->Children();
    work.InsertCategory(std::move(taken), 0);
    EXPECT_EQ(work.IndexOf(gamma), 0);
    EXPECT_EQ(gamma->GetPath(), "Work -> Gamma");
    EXPECT_EQ(rs.ChangeCount(), 0);
    ASSERT_TRUE(rs.Locate("code", 4));
    EXPECT_EQ(rs.AsInteger("parent"), 0);
}

TEST(CategorySorter, ShellSortPutsMostOccurencesFirst)
{
    struct TCase {
        QList<int> occurences;
        QList<int> expected;
    };
    const QList<TCase> cases{{{}, {}}, {{3}, {3}}, {{1, 5, 3, 5, 0, 9}, {9, 5, 5, 3, 1, 0}}};
    for (const TCase& c : cases) {
        std::vector<std::unique_ptr<TCategory>> owned;
        QList<TCategory*> list;
        for (const int n : c.occurences) {
            owned.push_back(std::make_unique<TCategory>(int(owned.size()) + 1, "c", "", n));
            list << owned.back().get();
        }
        TCategorySorterByOccurence sorter(list);
        ShellSort(sorter);
        QList<int> result;
        for (const TCategory* category : list)
            result << category->Occurences();
        EXPECT_EQ(result, c.expected);
    }
    TCategory few(1, "few", "", 1), many(2, "many", "", 8);
    QList<TCategory*> pair{&few, &many};
    TCategorySorterByOccurence sorter(pair);
    EXPECT_EQ(sorter.Compare(0, 1), 1);
    EXPECT_EQ(sorter.Compare(1, 0), -1);
    EXPECT_EQ(sorter.Compare(0, 0), 0);
}

// --- most used categories ----------------------------------------------------

// A settings store in memory: values by scope, section and name; it records
// whether each access happened inside a BeginAccess/EndAccess bracket.
class TMemorySettings : public ISettingsManager {
public:
    QString GetKeyPrefix() const override { return m_prefix; }
    void SetKeyPrefix(const QString& prefix) override { m_prefix = prefix; }
    QString GetCurrentSection() const override { return m_section; }
    bool SelectSection(const QString& section) override
    {
        m_section = section;
        return true;
    }

    bool ReadObjectState(QObject*, const QString&) override { return false; }
    bool ReadBool(const QString& n, bool d, const QString& s) override { return Get(n, s, d ? "1" : "0") == "1"; }
    QDate ReadDate(const QString&, const QString&, const QDate& d) override { return d; }
    QDateTime ReadDateTime(const QString&, const QString&, const QDateTime& d) override { return d; }
    double ReadFloat(const QString&, const QString&, double d) override { return d; }
    int ReadInteger(const QString& n, int d, const QString& s) override { return Get(n, s, QString::number(d)).toInt(); }
    QString ReadString(const QString& n, const QString& d, const QString& s) override { return Get(n, s, d); }
    bool ReadStrings(QStringList&, const QString&) override { return false; }
    QTime ReadTime(const QString&, const QString&, const QTime& d) override { return d; }

    void WriteObjectState(QObject*, const QString&) override {}
    void WriteBool(const QString& n, bool v, const QString& s) override { Put(n, s, v ? "1" : "0"); }
    void WriteDate(const QString&, const QString&, const QDate&) override {}
    void WriteDateTime(const QString&, const QString&, const QDateTime&) override {}
    void WriteFloat(const QString&, const QString&, double) override {}
    void WriteInteger(const QString& n, int v, const QString& s) override { Put(n, s, QString::number(v)); }
    void WriteString(const QString& n, const QString& v, const QString& s) override { Put(n, s, v); }
    void WriteStrings(const QStringList&, const QString&) override {}
    void WriteTime(const QString&, const QString&, const QTime&) override {}

    void UseAllUsersAllComputers() override { m_scope = "ALL/ALL"; }
    void UseAllUsersThisComputer() override { m_scope = "ALL/THIS"; }
    void UseUserAllComputers() override { m_scope = "USER/ALL"; }
    void UseUserThisComputer() override { m_scope = "USER/THIS"; }

    void EraseSection(const QString&) override {}
    QString GetControlKey(const QObject*) override { return {}; }
    void ReadSectionNames(QStringList&) override {}
    int ReadSection(QStringList&, QStringList*, const QString&) override { return 0; }
    int WriteSection(const QStringList&, const QStringList*, const QString&) override { return 0; }
    bool ValueExists(const QString&) override { return false; }

    void BeginAccess() override { ++m_depth; }
    void EndAccess() override { --m_depth; }
    void Flush() override {}

    // "scope|section|name" -> value
    QMap<QString, QString> values;
    int accessesOutsideBracket = 0;
    int depth() const { return m_depth; }

private:
    QString Key(const QString& name, const QString& section) const
    {
        return m_scope + "|" + (section == "*" ? m_section : section) + "|" + name;
    }
    QString Get(const QString& name, const QString& section, const QString& def)
    {
        if (m_depth == 0)
            ++accessesOutsideBracket;
        return values.value(Key(name, section), def);
    }
    void Put(const QString& name, const QString& section, const QString& value)
    {
        if (m_depth == 0)
            ++accessesOutsideBracket;
        values[Key(name, section)] = value;
    }

    QString m_prefix;
    QString m_section;
    QString m_scope = "USER/THIS";
    int m_depth = 0;
};

const QString StoredKey = "USER/ALL|Settings\\Most used categories|Recent categories used";

class MostUsed : public ::testing::Test {
protected:
    // Top-level categories 2, 5, 7, 9, 11, 12, and below 12 the leaves 20
    // and 21, the only ones holding entries.
    void SetUp() override
    {
        rs.LoadFromPacket(CategoryPacket({{2, 0, "c2"}, {5, 0, "c5"}, {7, 0, "c7"}, {9, 0, "c9"}, {11, 0, "c11"},
                                          {12, 0, "c12"}, {20, 12, "c20", 3}, {21, 12, "c21", 1}}));
        root.Load(0, &rs);
    }

    TCategory* Cat(int code) { return root.FindByCode(code); }

    ClientRecordSet rs;
    TCategories root{nullptr};
    TMemorySettings settings;
    TAppSettings app;
};

TEST_F(MostUsed, RecentListFollowsStoredValueAndPicks)
{
    struct TCase {
        int shown;
        QString stored;
        QList<int> picks;
        QList<int> expected;
    };
    const QList<TCase> cases{
        {4, "5,9,2,7", {}, {5, 9, 2, 7}},
        {4, "5,9,2,7", {9}, {9, 5, 2, 7}},
        {4, "5,9,2,7", {11}, {11, 5, 9, 2}},
        {1, "5,9", {7, 2}, {2}},
        {4, "12,x,7", {}, {12, 7}},
        {4, "5,404,9, 2", {}, {5, 9, 2}},   // a code of no category is skipped
        {2, "5,9,2,7", {}, {5, 9}},          // trimmed to the capacity
        {0, "5,9", {}, {5}},                 // a capacity below 1 counts as 1
        {3, "", {20, 20}, {20}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.stored.toStdString() + " shown " + std::to_string(c.shown));
        app.MostUsedCategoriesShown = c.shown;
        settings.values[StoredKey] = c.stored;
        TMostUsedCategories mostUsed(root, settings, app);
        mostUsed.Refresh();
        for (const int code : c.picks)
            mostUsed.CategoryUsed(Cat(code));
        EXPECT_EQ(Codes(mostUsed.RecentList()), c.expected);
        ASSERT_EQ(mostUsed.Count(), c.expected.size());   // method 0: the recent list is the active one
        EXPECT_EQ(mostUsed.Items(0)->Code(), c.expected.value(0));

        settings.values.clear();
        mostUsed.SaveRecent();
        EXPECT_EQ(settings.values.value(StoredKey), CodesToCommaText(c.expected));
        EXPECT_EQ(settings.values.size(), 1);
    }
    EXPECT_EQ(settings.accessesOutsideBracket, 0);
    EXPECT_EQ(settings.depth(), 0);
}

TEST(MostUsedCommon, RebuildTakesTheLeavesWithMostEntries)
{
    // pre-order: Parent(50, not a leaf), a(0), b(10), c(5), d(7)
    ClientRecordSet rs;
    rs.LoadFromPacket(CategoryPacket(
        {{1, 0, "Parent", 50}, {2, 1, "a", 0}, {3, 1, "b", 10}, {4, 0, "c", 5}, {5, 0, "d", 7}}));
    TCategories root(nullptr);
    root.Load(0, &rs);
    TMemorySettings settings;
    TAppSettings app;
    app.MostUsedCategoriesMethod = 1;

    struct TCase {
        int shown;
        QList<int> expected;
    };
    for (const TCase& c : QList<TCase>{{2, {3, 5}}, {1, {3}}, {4, {3, 5, 4, 2}}, {9, {3, 5, 4, 2}}}) {
        app.MostUsedCategoriesShown = c.shown;
        TMostUsedCategories mostUsed(root, settings, app);
        mostUsed.RebuildCommon();
        EXPECT_EQ(Codes(mostUsed.CommonList()), c.expected) << c.shown;
        EXPECT_EQ(mostUsed.Count(), c.expected.size());   // method 1: the common list is the active one
    }

    // a pick raises the count and lets a parent category in
    app.MostUsedCategoriesShown = 2;
    TMostUsedCategories mostUsed(root, settings, app);
    mostUsed.Refresh();
    mostUsed.CategoryUsed(root.FindByCode(1));
    EXPECT_EQ(root.FindByCode(1)->Occurences(), 51);
    EXPECT_EQ(Codes(mostUsed.CommonList()), QList<int>({1, 3}));
    // with one slot a picked category takes it only once it has more entries
    app.MostUsedCategoriesShown = 1;
    mostUsed.RebuildCommon();
    EXPECT_EQ(Codes(mostUsed.CommonList()), QList<int>({3}));
    for (int pick = 8; pick <= 10; ++pick) {   // d: 7 entries, b: 10
        mostUsed.CategoryUsed(root.FindByCode(5));
        EXPECT_EQ(Codes(mostUsed.CommonList()), QList<int>({3})) << pick;
    }
    mostUsed.CategoryUsed(root.FindByCode(5));
    EXPECT_EQ(Codes(mostUsed.CommonList()), QList<int>({5}));
    EXPECT_EQ(Codes(mostUsed.RecentList()), QList<int>({5}));
}

TEST_F(MostUsed, DeletedCategoriesLeaveBothListsAtOnceAndTheStoredValueOnSave)
{
    settings.values[StoredKey] = "20,5,9";
    TMostUsedCategories mostUsed(root, settings, app);
    mostUsed.Refresh();
    const TCategory* c20 = Cat(20);
    const TCategory* c21 = Cat(21);
    ASSERT_EQ(mostUsed.CommonList().mid(0, 2), QList<TCategory*>({Cat(20), Cat(21)}));

    root.DeleteCategory(Cat(5));
    EXPECT_EQ(Codes(mostUsed.RecentList()), QList<int>({20, 9}));
    EXPECT_EQ(settings.values.value(StoredKey), "20,5,9");
    root.DeleteCategory(Cat(12));   // its leaves go with it
    EXPECT_EQ(Codes(mostUsed.RecentList()), QList<int>({9}));
    for (const TCategory* c : mostUsed.CommonList()) {   // compared, never read: they are freed
        EXPECT_NE(c, c20);
        EXPECT_NE(c, c21);
    }
    mostUsed.SaveRecent();
    EXPECT_EQ(settings.values.value(StoredKey), "9");
}

TEST_F(MostUsed, ReloadingTheTreeDropsOldReferencesAndRefreshFindsTheNewOnes)
{
    settings.values[StoredKey] = "7,2";
    {
        TMostUsedCategories mostUsed(root, settings, app);
        mostUsed.Refresh();
        mostUsed.SaveRecent();
        root.Load(0, &rs);
        EXPECT_TRUE(mostUsed.RecentList().isEmpty());
        EXPECT_TRUE(mostUsed.CommonList().isEmpty());
        mostUsed.Refresh();
        EXPECT_EQ(mostUsed.RecentList(), QList<TCategory*>({Cat(7), Cat(2)}));
    }
    EXPECT_FALSE(root.OnCategoryDeleted);   // gone with the lists
}

// --- on the database ---------------------------------------------------------

class CategoriesOnDatabase : public EngineTest {
protected:
    // Rows written by someone else, with codes far above what the counter
    // hands out during a test.
    int AddRow(const QString& name, int parent)
    {
        const int code = m_nextCode++;
        db->ExecOutside(QString("insert into categories (code, parent, name) values (%1, %2, '%3')")
                            .arg(code)
                            .arg(parent)
                            .arg(name));
        return code;
    }

    void AddEntry(int code, int category)
    {
        db->ExecOutside(QString("insert into entries (code, category, Title) values (%1, %2, 'e%1')")
                            .arg(code)
                            .arg(category));
    }

private:
    int m_nextCode = 1001;
};

TEST_P(CategoriesOnDatabase, LoadFetchesEveryCategoryInNameOrderWithItsEntryCount)
{
    const int beta = AddRow("Beta", 0);
    const int alpha = AddRow("Alpha", 0);
    AddRow("Gamma", 0);
    const int child = AddRow("Child", alpha);
    AddEntry(1, beta);
    AddEntry(2, beta);
    AddEntry(3, child);

    TCategories root(conn.get());
    root.Load(0);
    EXPECT_EQ(Names(root), QStringList({"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(root.FindByCode(beta)->Occurences(), 2);
    EXPECT_EQ(root.FindByCode(alpha)->Occurences(), 0);
    EXPECT_EQ(root.FindByCode(child)->GetPath(), "Alpha -> Child");
    EXPECT_EQ(root.FindByCode(child)->Occurences(), 1);
    ASSERT_NE(root.RecordSet(), nullptr);
    EXPECT_EQ(root.RecordSet()->RecordCount(), 4);
}

TEST_P(CategoriesOnDatabase, EditsOfTheTreeWriteBackAndReload)
{
    const int work = AddRow("Work", 0);
    const int clients = AddRow("Clients", work);
    const int old = AddRow("Old", 0);
    const int misc = AddRow("Misc", 0);
    AddEntry(1, misc);   // Occurences travels in the delta and must be left out of the write

    TCategories root(conn.get());
    root.Load(0);
    TCategory* offers = root.FindByCode(clients)->Children().AddCategory(std::make_unique<TCategory>(0, "Offers", "sent"));
    EXPECT_GT(offers->Code(), 0);
    EXPECT_EQ(root.FindByCode(offers->Code()), offers);
    EXPECT_EQ(offers->OwnerList()->ParentCategory()->Code(), clients);
    ClientRecordSet* rs = root.RecordSet();
    ASSERT_TRUE(rs->Locate("code", offers->Code()));
    const QString guid = rs->AsString("GUID");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(guid)
                    .hasMatch())
        << guid.toStdString();
    root.FindByCode(misc)->SetName("Miscellany");
    root.FindByCode(misc)->MoveTo(root.FindByCode(work)->Children());
    root.DeleteCategory(root.FindByCode(old));
    EXPECT_TRUE(root.IsModified());

    conn->ApplyCategoryUpdates({rs->GetDelta()});
    rs->MergeChangeLog();
    EXPECT_FALSE(root.IsModified());

    TCategories reloaded(conn.get());
    reloaded.Load(0);
    EXPECT_EQ(Names(reloaded), QStringList({"Work"}));
    EXPECT_EQ(Names(reloaded.FindByCode(work)->Children()), QStringList({"Clients", "Miscellany"}));
    EXPECT_EQ(reloaded.FindByCode(offers->Code())->GetPath(), "Work -> Clients -> Offers");
    EXPECT_EQ(reloaded.FindByCode(offers->Code())->Description(), "sent");
    EXPECT_EQ(reloaded.FindByCode(misc)->Occurences(), 1);
    ASSERT_TRUE(reloaded.RecordSet()->Locate("code", offers->Code()));
    EXPECT_EQ(reloaded.RecordSet()->AsString("GUID"), guid);

    // the root reloads on the record set it already holds
    ClientRecordSet* held = root.RecordSet();
    root.Load(0, held);
    EXPECT_EQ(root.RecordSet(), held);
    EXPECT_EQ(Names(root.FindByCode(work)->Children()), QStringList({"Clients", "Miscellany"}));
}

TESSARYN_INSTANTIATE_ENGINES(CategoriesOnDatabase);

} // namespace
