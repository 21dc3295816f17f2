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

namespace {

// A record set's change log and view, as comparable text.
QString DeltaText(const ClientRecordSet& rs)
{
    QStringList rows;
    for (const TDeltaRow& row : rs.GetDelta().rows) {
        QStringList values;
        for (int i = 0; i < rs.FieldCount(); ++i)
            values << QString("%1>%2%3")
                          .arg(row.oldValues.value(i).toString(), row.newValues.value(i).toString(),
                               row.assigned.value(i) ? "*" : "");
        rows << QString::number(int(row.kind)) + ":" + values.join(",");
    }
    return rows.join(" | ");
}

QString ViewText(const ClientRecordSet& rs)
{
    QStringList rows;
    const DataPacket shown = rs.ToPacket();
    for (const auto& row : shown.rows)
        rows << row.value(0).toString() + "/" + row.value(1).toString() + "/" + row.value(2).toString();
    return rows.join(" ");
}

// Bookmarks as the bookmark data module holds them: code, entry, ordering,
// viewed by ordering; entry 30 twice, and one row added since the last merge.
void LoadMarks(ClientRecordSet& rs)
{
    DataPacket p;
    p.fields = {{"code", TFieldType::Integer}, {"entry", TFieldType::Integer}, {"ordering", TFieldType::Integer},
                {"note", TFieldType::Text}};
    p.rows = {{11, 10, 3, "c"}, {12, 20, 1, "a"}, {13, 30, 4, "d"}, {14, 40, 2, "b"}, {15, 30, 5, "e"}};
    rs.LoadFromPacket(p);
    rs.SetIndexFieldNames("ordering");
    rs.Append();
    rs.SetValue("code", 16);
    rs.SetValue("entry", 50);
    rs.SetValue("ordering", 6);
    rs.Post();
    ASSERT_TRUE(rs.Locate("code", 14));
}

} // namespace

// Thousands of bookmarks are renumbered, moved and removed at once: the
// result must be what changing them one by one gives.
TEST(ClientRecordSet, ManyRowsAtOnceChangeAsOneByOneWould)
{
    const QList<std::pair<QVariant, QVariant>> orderings = {
        {12, 7}, {99, 1}, {11, 3} /* unchanged */, {13, 0}, {16, 9}, {13, 8} /* the later wins */, {15, QVariant()}};
    ClientRecordSet one, many;
    LoadMarks(one);
    LoadMarks(many);
    for (const auto& [code, ordering] : orderings) {
        if (!one.Locate("code", code))
            continue;
        one.SetValue("ordering", ordering);
        one.Post();
    }
    ASSERT_TRUE(one.Locate("code", 14));
    EXPECT_EQ(many.SetValues("code", "ordering", orderings), 5);
    EXPECT_EQ(DeltaText(many), DeltaText(one));
    EXPECT_EQ(ViewText(many), ViewText(one));
    EXPECT_EQ(many.AsInteger("code"), 14) << "the cursor stays on its row";

    // Removing: entry 30 given twice takes both of its rows, the row added
    // since the merge leaves nothing to apply, an unknown entry nothing.
    const QVariantList entries = {30, 77, 50, 30, 10};
    LoadMarks(one);
    LoadMarks(many);
    for (const QVariant& entry : entries)
        if (one.Locate("entry", entry))
            one.Delete();
    EXPECT_EQ(many.DeleteRows("entry", entries), 4);
    EXPECT_EQ(DeltaText(many), DeltaText(one));
    EXPECT_EQ(ViewText(many), ViewText(one));
    EXPECT_EQ(many.AsInteger("code"), 14);
    EXPECT_EQ(many.DeleteRows("entry", {40}), 1);
    EXPECT_EQ(many.RecordCount(), 1);
    EXPECT_EQ(many.AsInteger("code"), 12) << "the row that took the deleted one's place";
}
