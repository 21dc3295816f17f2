#include "app/Errors.h"
#include "db/ClientRecordSet.h"

#include <gtest/gtest.h>

namespace {

DataPacket People()
{
    DataPacket p;
    p.fields = {{"code", TFieldType::Integer}, {"parent", TFieldType::Integer}, {"Name", TFieldType::Text},
                {"Notes", TFieldType::LongText}};
    p.rows = {{3, 0, "gamma", "g"}, {1, 0, "Alpha", "a"}, {2, 1, "beta", QVariant()}, {4, 1, "alpha", "x"}};
    return p;
}

QStringList Names(ClientRecordSet& rs)
{
    QStringList names;
    for (rs.First(); !rs.Eof(); rs.Next())
        names << rs.AsString("name");
    return names;
}

} // namespace

TEST(ClientRecordSet, FieldsAreFoundWithoutRegardToCase)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(People());
    EXPECT_EQ(rs.FieldIndex("NAME"), 2);
    EXPECT_EQ(rs.AsString("nAmE"), "gamma");
    EXPECT_THROW(rs.Value("missing"), EDatabaseError);
}

TEST(ClientRecordSet, IndexesOrderAscendingOnSeveralFields)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(People());
    EXPECT_EQ(Names(rs), QStringList({"gamma", "Alpha", "beta", "alpha"}));   // load order
    rs.SetIndexFieldNames("parent;name");
    EXPECT_EQ(Names(rs), QStringList({"Alpha", "gamma", "alpha", "beta"}));
    rs.SetIndexFieldNames("code");
    EXPECT_EQ(Names(rs), QStringList({"Alpha", "beta", "gamma", "alpha"}));
}

TEST(ClientRecordSet, LocateRangeAndFilter)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(People());
    EXPECT_TRUE(rs.Locate("name", QVariant("ALPHA"), true));
    EXPECT_EQ(rs.AsInteger("code"), 1);
    EXPECT_FALSE(rs.Locate("name", QVariant("ALPHA")));   // exact comparison by default
    EXPECT_TRUE(rs.Locate("parent;name", {1, "alpha"}));
    EXPECT_EQ(rs.AsInteger("code"), 4);

    rs.SetRange("parent", 1);   // master/detail on the client side
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(Names(rs), QStringList({"beta", "alpha"}));
    rs.CancelRange();
    rs.SetFilter([](const ClientRecordSet& set, int row) { return set.RowValue(row, 0).toInt() > 2; });
    EXPECT_EQ(Names(rs), QStringList({"gamma", "alpha"}));
}

TEST(ClientRecordSet, ChangeLogBuildsDeltaWithOldAndNewValuesInOrder)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(People());
    rs.SetIndexFieldNames("code");
    rs.First();                       // code 1
    rs.SetValue("name", "Alef");      // opens the edit
    rs.Post();
    rs.Append();
    rs.SetValue("code", 9);
    rs.SetValue("name", "new");
    rs.Post();
    ASSERT_TRUE(rs.Locate("code", 2));
    rs.Delete();

    const Delta d = rs.GetDelta();
    ASSERT_EQ(d.rows.size(), 3);
    EXPECT_EQ(d.rows[0].kind, TChangeKind::Modify);
    EXPECT_EQ(d.rows[0].oldValues[2].toString(), "Alpha");
    EXPECT_EQ(d.rows[0].newValues[2].toString(), "Alef");
    EXPECT_TRUE(d.rows[0].assigned[2]);
    EXPECT_FALSE(d.rows[0].assigned[0]);   // only changed columns carry new values
    EXPECT_EQ(d.rows[1].kind, TChangeKind::Insert);
    EXPECT_EQ(d.rows[1].newValues[0].toInt(), 9);
    EXPECT_FALSE(d.rows[1].assigned[1]);   // never set: left to the database's default
    EXPECT_EQ(d.rows[2].kind, TChangeKind::Delete);
    EXPECT_EQ(d.rows[2].oldValues[0].toInt(), 2);

    rs.MergeChangeLog();
    EXPECT_FALSE(rs.HasChanges());
    EXPECT_TRUE(rs.GetDelta().IsEmpty());
    EXPECT_EQ(rs.RecordCount(), 4);
    ASSERT_TRUE(rs.Locate("code", 1));
    EXPECT_EQ(rs.AsString("name"), "Alef");
}

TEST(ClientRecordSet, UndoneChangesLeaveNothingToApply)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(People());
    rs.SetValue("name", "changed");
    rs.Post();
    rs.SetValue("name", "gamma");     // back to the loaded value
    rs.Post();
    rs.Append();
    rs.SetValue("code", 5);
    rs.Post();
    rs.Delete();                      // an inserted row deleted again
    EXPECT_TRUE(rs.GetDelta().IsEmpty());

    rs.SetValue("name", "lost");
    rs.Post();
    rs.CancelUpdates();
    EXPECT_EQ(Names(rs), QStringList({"gamma", "Alpha", "beta", "alpha"}));
}

TEST(ClientRecordSet, EditOnAnEmptySetAppendsARow)
{
    DataPacket empty = People();
    empty.rows.clear();
    ClientRecordSet rs;
    rs.LoadFromPacket(empty);
    EXPECT_TRUE(rs.IsEmpty());
    EXPECT_TRUE(rs.Value("name").isNull());
    rs.Edit();
    EXPECT_EQ(rs.State(), ClientRecordSet::TState::Insert);
    EXPECT_TRUE(rs.HasUnpostedChange());
    rs.SetValue("code", "12");        // converted to the field's type
    rs.Post();
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Value("code").typeId(), QMetaType::Int);
    EXPECT_EQ(rs.GetDelta().rows.size(), 1);
}

// A detail set whose range follows a master row: the rows of a range stay
// right through every kind of change, in index order, with nulls first.
TEST(ClientRecordSet, RangesFollowChangesAndKeepTheIndexOrder)
{
    ClientRecordSet rs;
    DataPacket p = People();
    p.rows.append({5, QVariant(), "orphan", "o"});
    p.rows.append({6, 1, "Alpha", "b"});
    p.rows.append({7, QVariant(), "nobody", "n"});
    rs.LoadFromPacket(p);
    rs.SetIndexFieldNames("parent;name");
    EXPECT_EQ(Names(rs), QStringList({"nobody", "orphan", "Alpha", "gamma", "Alpha", "alpha", "beta"}));

    const auto range = [&](const QVariant& parent) {
        rs.SetRange("parent", parent);
        return Names(rs);
    };
    EXPECT_EQ(range(1), QStringList({"Alpha", "alpha", "beta"}));
    EXPECT_EQ(range(QVariant()), QStringList({"nobody", "orphan"}));
    EXPECT_EQ(range(2), QStringList());
    EXPECT_EQ(range(QStringLiteral("1")), QStringList({"Alpha", "alpha", "beta"}));   // as typed

    // Moved out of the range, into it, appended, deleted: each is seen.
    EXPECT_EQ(range(1), QStringList({"Alpha", "alpha", "beta"}));
    ASSERT_TRUE(rs.Locate("code", 2));
    rs.SetValue("parent", 0);
    rs.Post();
    EXPECT_EQ(Names(rs), QStringList({"Alpha", "alpha"}));
    EXPECT_EQ(range(0), QStringList({"Alpha", "beta", "gamma"}));
    rs.Append();
    rs.SetValue("code", 8);
    rs.SetValue("parent", 0);
    rs.SetValue("name", "Aardvark");
    rs.Post();
    EXPECT_EQ(Names(rs), QStringList({"Aardvark", "Alpha", "beta", "gamma"}));
    ASSERT_TRUE(rs.Locate("code", 3));
    rs.Delete();
    EXPECT_EQ(Names(rs), QStringList({"Aardvark", "Alpha", "beta"}));
    rs.CancelUpdates();
    EXPECT_EQ(Names(rs), QStringList({"Alpha", "gamma"}));
    rs.CancelRange();
    EXPECT_EQ(rs.RecordCount(), 7);
}

// An integer first index field orders by its number over the whole 64-bit
// range, nulls first, and the next fields break its ties; equal rows keep
// their load order.
TEST(ClientRecordSet, IntegerIndexesOrderByNumberThenByTheNextFields)
{
    DataPacket p;
    p.fields = {{"code", TFieldType::Integer}, {"entry", TFieldType::Integer}, {"Name", TFieldType::Text}};
    p.rows = {{1, 5000000000LL, "b"}, {2, -3, "z"}, {3, QVariant(), "n"}, {4, 7, "b"},
              {5, 7, "a"},          {6, -3, "a"}, {7, 7, "b"},         {8, 2147483647, "m"}};
    ClientRecordSet rs;
    rs.LoadFromPacket(std::move(p));
    const auto codes = [&] {
        QList<int> result;
        for (rs.First(); !rs.Eof(); rs.Next())
            result << rs.AsInteger("code");
        return result;
    };
    rs.SetIndexFieldNames("entry;name");
    EXPECT_EQ(codes(), QList<int>({3, 6, 2, 5, 4, 7, 8, 1}));
    rs.SetIndexFieldNames("entry");
    EXPECT_EQ(codes(), QList<int>({3, 2, 6, 4, 5, 7, 8, 1}));
    rs.SetRange("entry", 5000000000LL);
    EXPECT_EQ(codes(), QList<int>({1}));
}
