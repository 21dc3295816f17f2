#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "TestFiles.h"
#include "db/BlobFile.h"
#include "db/ClientRecordSet.h"
#include "db/EngineDialect.h"
#include "db/dmConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

const QString kEntryCategoryGone = "The category of this entry no longer exists: another user may have deleted it. "
                                   "Choose another category and save again.";
const QString kMoveTargetGone =
    "The chosen category no longer exists: another user may have deleted it. The entries were not moved.";
const QString kCategoryInUse = "The category \"%1\" cannot be deleted: entries or subcategories were filed under it "
                               "in the meantime. Your changes to the categories were not saved.";

// The message a gateway call fails with, or "saved" when it succeeds.
QString Outcome(const std::function<void()>& call)
{
    try {
        call();
        return "saved";
    } catch (const ETessarynError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString("unexpected: ") + e.what();
    }
}

class Gateway : public EngineTest {
protected:
    // A new entry with two file rows as the deltas that store it, not yet applied.
    QPair<int, DeltaArray> NewEntry(const QString& title, const QVariant& category = QVariant(),
                                    const QString& comments = " ")
    {
        ClientRecordSet entry, files;
        const DataPackets empty = conn->GetEntry(0);
        entry.LoadFromPacket(empty[0]);
        files.LoadFromPacket(empty[1]);
        const int code = conn->GetNewEntryCode();
        entry.Edit();
        entry.SetValue("code", code);
        entry.SetValue("Title", title);
        entry.SetValue("category", category);
        entry.SetValue("Comments", comments);
        entry.SetValue("DateCreated", QDateTime(QDate(2006, 3, 1), QTime(0, 0)));
        entry.SetValue("DateModified", QDateTime(QDate(2006, 3, 2), QTime(0, 0)));
        entry.SetValue("GUID", "6F9619FF-8B86-D011-B42D-00C04FC964FF");
        entry.SetValue("Items", QByteArray("PK\x03\x04 archive bytes", 20));
        entry.Post();
        int fileCode = conn->ReserveNextRecIDs("entryfiles", 2);
        for (const QString name : {"a.txt", "b.txt"}) {
            files.Append();
            files.SetValue("code", fileCode++);
            files.SetValue("entry", code);
            files.SetValue("Name", name);
            files.SetValue("Type", 1);
            files.SetValue("FileSize", 10);
            files.Post();
        }
        return {code, {entry.GetDelta(), files.GetDelta()}};
    }

    // A stored entry with two file rows, written through the delta path.
    int StoreEntry(const QString& title, const QVariant& category = QVariant(), const QString& comments = " ")
    {
        const auto [code, updates] = NewEntry(title, category, comments);
        conn->ApplyEntryUpdates(updates);
        return code;
    }

    QString TitleOf(int code)
    {
        ClientRecordSet rs;
        rs.LoadFromPacket(conn->GetEntry(code)[0]);
        return rs.AsString("title");
    }

    int Count(const QString& sql)
    {
        ClientRecordSet rs;
        conn->OpenQueries({{sql, {}}}, {&rs});
        rs.First();
        return rs.Value(0).toInt();
    }

    // Every row the category guards could touch, as comparable text.
    QStringList Snapshot()
    {
        QStringList rows;
        for (const char* sql : {"select code, category, Title from entries order by code",
                                "select code, entry, Name from entryfiles order by code",
                                "select code, parent, name from categories order by code"}) {
            ClientRecordSet rs;
            conn->OpenQueries({{sql, {}}}, {&rs});
            for (rs.First(); !rs.Eof(); rs.Next()) {
                QStringList values;
                for (int i = 0; i < rs.FieldCount(); ++i)
                    values << (rs.Value(i).isNull() ? QString("null") : rs.Value(i).toString());
                rows << QString(sql).section(' ', 5, 5) + ": " + values.join(" | ");
            }
        }
        return rows;
    }

    int AddCategory(const QString& name, int parent)
    {
        ClientRecordSet rs;
        rs.LoadFromPacket(conn->GetCategories()[0]);
        const int code = conn->GetNextRecID("categories");
        rs.Append();
        rs.SetValue("code", code);
        rs.SetValue("parent", parent);
        rs.SetValue("name", name);
        rs.SetValue("Occurences", 77);   // computed: must be left out of the insert
        rs.Post();
        conn->ApplyCategoryUpdates({rs.GetDelta()});
        return code;
    }
};

} // namespace

TEST_P(Gateway, GetEntryOfCodeZeroGivesEmptySetsWithAllColumns)
{
    const DataPackets packets = conn->GetEntry(0);
    ASSERT_EQ(packets.size(), 2);
    EXPECT_EQ(packets[0].RowCount(), 0);
    EXPECT_EQ(packets[1].RowCount(), 0);
    for (const char* column : {"code", "DateCreated", "DateModified", "category", "Title", "Keywords",
                               "PasswordProtected", "source", "Comments", "GUID", "Items"})
        EXPECT_GE(packets[0].FieldIndex(column), 0) << column;
    for (const char* column : {"code", "entry", "Name", "Type", "FileSize"})
        EXPECT_GE(packets[1].FieldIndex(column), 0) << column;
    EXPECT_GE(packets[0].FieldIndex("title"), 0);
}

TEST_P(Gateway, StoredEntryReadsBackWithItsTypes)
{
    const int code = StoreEntry("First", QVariant(), " ");
    const DataPackets packets = conn->GetEntry(code);
    ASSERT_EQ(packets[0].RowCount(), 1);
    ASSERT_EQ(packets[1].RowCount(), 2);
    EXPECT_EQ(packets[0].Value(0, "title").toString(), "First");
    EXPECT_TRUE(packets[0].Value(0, "category").isNull());
    EXPECT_EQ(packets[0].Value(0, "Comments").toString(), " ");
    EXPECT_EQ(packets[0].Value(0, "PasswordProtected").toInt(), 0);   // the column's default
    EXPECT_EQ(packets[0].Value(0, "DateCreated").toDateTime(), QDateTime(QDate(2006, 3, 1), QTime(0, 0)));
    EXPECT_EQ(packets[0].Value(0, "Items").toByteArray(), QByteArray("PK\x03\x04 archive bytes", 20));
    EXPECT_EQ(conn->CountEntries(), 1);
    EXPECT_EQ(conn->GetEntry(code + 1000)[0].RowCount(), 0);
}

TEST_P(Gateway, ModifyingARowChangedByAnotherUserFailsAndRollsBackTheWholeCall)
{
    const int first = StoreEntry("One");
    const int second = StoreEntry("Two");
    ClientRecordSet rs;
    conn->OpenQueries({{"select * from entries order by code", {}}}, {&rs});
    db->ExecOutside(QStringLiteral("update entries set Title = 'Changed elsewhere' where code = %1").arg(second));

    rs.First();
    rs.SetValue("Title", "One edited");   // applies fine...
    rs.Post();
    rs.Next();
    rs.SetValue("Title", "Two edited");   // ...but this row no longer matches
    rs.Post();
    try {
        conn->ApplyEntryUpdates({rs.GetDelta(), std::nullopt});
        FAIL() << "the write should have failed";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Record not found or changed by another user");
    }
    EXPECT_EQ(TitleOf(first), "One");
    EXPECT_EQ(TitleOf(second), "Changed elsewhere");
    EXPECT_TRUE(rs.HasChanges());   // the caller keeps its change log after a failure
}

// A server is asked once for many changed rows (a renumbered set of
// thousands of bookmarks): every row must still be found by all of its old
// values, as it is when each row has its own statement.
TEST_P(Gateway, ManyChangedRowsAreStoredTogetherOnlyWhenEachIsFoundUnchanged)
{
    const int category = AddCategory("Shelf", 0);
    for (int code = 1; code <= 6; ++code)
        db->ExecOutside(QStringLiteral("insert into entries (code, DateCreated, DateModified, category, Title, Keywords, "
                                       "PasswordProtected, source, Comments, GUID) values (%1, '2006-03-01 10:00:00', "
                                       "'2006-03-02 11:30:00', %2, 'Entry %1', 'k%1', 0, %3, 'Σχόλιο %1', 'G%1')")
                            .arg(code)
                            .arg(category)
                            .arg(code == 4 ? QStringLiteral("null") : QStringLiteral("'s%1'").arg(code)));
    const auto titles = [&] {
        QStringList result;
        ClientRecordSet rs;
        conn->OpenQueries({{"select Title, DateModified from entries order by code", {}}}, {&rs});
        for (rs.First(); !rs.Eof(); rs.Next())
            result << rs.AsString("Title") + " @ " + rs.Value("DateModified").toDateTime().toString(Qt::ISODate);
        return result;
    };
    const auto renameAll = [&](const QString& prefix) {
        ClientRecordSet rs;
        conn->OpenQueries({{"select * from entries order by code", {}}}, {&rs});
        for (rs.First(); !rs.Eof(); rs.Next()) {
            rs.SetValue("Title", QStringLiteral("%1 O'Brien %2").arg(prefix, rs.AsString("code")));
            rs.SetValue("DateModified", QDateTime(QDate(2024, 1, rs.AsInteger("code")), QTime(8, 0)));
            rs.Post();
        }
        return rs.GetDelta();
    };
    const Delta renamed = renameAll("Ωραίο");
    EXPECT_EQ(Outcome([&] { conn->ApplyEntryUpdates({renamed, std::nullopt}); }), "saved");
    QStringList expected;
    for (int code = 1; code <= 6; ++code)
        expected << QStringLiteral("Ωραίο O'Brien %1 @ 2024-01-0%1T08:00:00").arg(code);
    EXPECT_EQ(titles(), expected);

    const Delta again = renameAll("Again");
    db->ExecOutside("update entries set Keywords = 'changed elsewhere' where code = 5");
    EXPECT_EQ(Outcome([&] { conn->ApplyEntryUpdates({again, std::nullopt}); }),
              "Record not found or changed by another user");
    EXPECT_EQ(titles(), expected) << "no row of the failed call is stored";
}

TEST_P(Gateway, FailingSecondDeltaRollsBackTheFirst)
{
    const int code = StoreEntry("Entry");
    ClientRecordSet entry, files;
    const DataPackets packets = conn->GetEntry(code);
    entry.LoadFromPacket(packets[0]);
    files.LoadFromPacket(packets[1]);
    entry.SetValue("Title", "Renamed");
    entry.Post();
    files.First();
    files.Delete();
    files.Append();
    files.SetValue("code", 1);   // taken by the row above only after the delete ...
    files.SetValue("entry", code);
    files.SetValue("Name", "dup");
    files.Post();
    files.Append();
    files.SetValue("code", 1);   // ... and taken twice here: the insert fails
    files.SetValue("entry", code);
    files.SetValue("Name", "dup2");
    files.Post();
    EXPECT_THROW(conn->ApplyEntryUpdates({entry.GetDelta(), files.GetDelta()}), EDatabaseError);
    EXPECT_EQ(TitleOf(code), "Entry");
    EXPECT_EQ(conn->GetEntry(code)[1].RowCount(), 2);
}

TEST_P(Gateway, UpdateMatchingSeveralRowsFailsWithItsOwnText)
{
    AddCategory("Twin", 0);
    AddCategory("Twin", 0);
    ClientRecordSet rs;
    conn->OpenQueries({{"select name, parent from categories", {}}}, {&rs});
    rs.First();
    rs.SetValue("name", "Renamed");
    rs.Post();
    try {
        conn->ApplyCategoryUpdates({rs.GetDelta()});
        FAIL() << "the write should have failed";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Update affected more than 1 record.");
    }
    EXPECT_EQ(Count("select count(*) from categories where name = 'Twin'"), 2);
}

TEST_P(Gateway, ComputedColumnsAreLeftOutAndOccurencesCountOwnEntriesOnly)
{
    const int top = AddCategory("Top", 0);
    const int child = AddCategory("Child", top);
    StoreEntry("In child", child);
    StoreEntry("No category");

    ClientRecordSet rs;
    rs.LoadFromPacket(conn->GetCategories()[0]);
    ASSERT_TRUE(rs.Locate("code", top));
    EXPECT_EQ(rs.AsInteger("occurences"), 0);
    rs.SetValue("name", "Top renamed");   // the delta carries Occurences in its old values
    rs.Post();
    conn->ApplyCategoryUpdates({rs.GetDelta()});
    rs.LoadFromPacket(conn->GetCategories()[0]);
    ASSERT_TRUE(rs.Locate("code", child));
    EXPECT_EQ(rs.AsInteger("Occurences"), 1);
    EXPECT_EQ(rs.AsInteger("parent"), top);
    ASSERT_TRUE(rs.Locate("code", top));
    EXPECT_EQ(rs.AsString("name"), "Top renamed");
    EXPECT_FALSE(conn->CategoryHasEntries(top));   // its entries are in a subcategory
    EXPECT_TRUE(conn->CategoryHasEntries(child));
}

TEST_P(Gateway, ApplyWithBothElementsNullChangesNothing)
{
    StoreEntry("Kept");
    EXPECT_NO_THROW(conn->ApplyEntryUpdates({std::nullopt, std::nullopt}));
    EXPECT_NO_THROW(conn->ApplyBookmarkSetUpdates({std::nullopt, std::nullopt}));
    EXPECT_EQ(conn->CountEntries(), 1);
    EXPECT_EQ(conn->TransactionDepth(), 0);
}

TEST_P(Gateway, IdentityColumnsAreAssignedByTheServer)
{
    const int entry = StoreEntry("Bookmarked");
    DataPackets packets = conn->GetBookmarkSet(1);
    ASSERT_EQ(packets[0].RowCount(), 1);   // the default set is delivered
    ClientRecordSet marks;
    marks.LoadFromPacket(packets[1]);
    marks.Append();
    marks.SetValue("code", 999999);
    marks.SetValue("bookmarkset", 1);
    marks.SetValue("entry", entry);
    marks.SetValue("ordering", 1);
    marks.Post();
    conn->ApplyBookmarkSetUpdates({std::nullopt, marks.GetDelta()});
    packets = conn->GetBookmarkSet(1);
    ASSERT_EQ(packets[1].RowCount(), 1);
    EXPECT_NE(packets[1].Value(0, "code").toInt(), 999999);
    EXPECT_EQ(conn->GetBookmarkSet(4242)[0].RowCount(), 0);
}

TEST_P(Gateway, DeleteAndMoveTakeCodeLists)
{
    const int a = StoreEntry("A");
    const int b = StoreEntry("B");
    const int category = AddCategory("Target", 0);
    conn->MoveEntriesToCategory(QStringLiteral("%1,%2").arg(a).arg(b), category);
    EXPECT_TRUE(conn->CategoryHasEntries(category));
    EXPECT_THROW(conn->MoveEntriesToCategory("1) or (1=1", category), EDatabaseError);

    EXPECT_TRUE(conn->DeleteEntries(QString::number(a)));
    EXPECT_TRUE(conn->DeleteEntries("987654"));          // nothing to delete is still success
    EXPECT_FALSE(conn->DeleteEntries("1; drop table entries"));
    EXPECT_FALSE(conn->DeleteEntries(""));
    EXPECT_EQ(conn->CountEntries(), 1);
    // the deleted entry's files are gone from every query through entries
    EXPECT_EQ(Count(QStringLiteral("select count(*) from entryfiles where entry in (select code from entries)")), 2);
    EXPECT_EQ(conn->GetEntry(a)[1].RowCount(), 0);
}

TEST_P(Gateway, SettingsRowsOfTheUserOrOfTheComputer)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(conn->GetSettings("DEFAULT", "PC1")[0]);
    const QList<QStringList> rows = {{"DEFAULT", "PC2"}, {"OTHER", "PC1"}, {"OTHER", "PC2"}, {"ALL", "PC9"},
                                     {"O'Brien; --", "PC2"}};
    for (const auto& r : rows) {
        rs.Append();
        rs.SetValue("_user", r[0]);
        rs.SetValue("computer", r[1]);
        rs.SetValue("_key", "TESSARYN\\Settings\\folders\\");
        rs.SetValue("_values", "Extract folder=/tmp/x/");
        rs.Post();
    }
    conn->ApplySettingsUpdates(rs.GetDelta());

    const auto pairs = [&](const QString& user, const QString& computer) {
        ClientRecordSet got;
        got.LoadFromPacket(conn->GetSettings(user, computer)[0]);
        QSet<QString> result;
        for (got.First(); !got.Eof(); got.Next())
            result << got.AsString("_user") + "/" + got.AsString("computer");
        return result;
    };
    EXPECT_EQ(pairs("DEFAULT", "PC1"), (QSet<QString>{"DEFAULT/PC2", "OTHER/PC1", "ALL/PC9"}));
    EXPECT_EQ(pairs("O'Brien; --", "none"), (QSet<QString>{"O'Brien; --/PC2", "ALL/PC9"}));
}

TEST_P(Gateway, SettingsWriteWithoutTransactionKeepsRowsWrittenBeforeAFailure)
{
    ClientRecordSet rs;
    rs.LoadFromPacket(conn->GetSettings("DEFAULT", "PC1")[0]);
    rs.Append();
    rs.SetValue("_user", "DEFAULT");
    rs.SetValue("computer", "PC1");
    rs.SetValue("_key", "TESSARYN\\A\\");
    rs.Post();
    rs.Append();
    rs.SetValue("_user", "DEFAULT");
    rs.SetValue("computer", "PC1");
    rs.SetValue("_key", "TESSARYN\\A\\");   // the same triple twice: refused
    rs.Post();
    EXPECT_THROW(conn->ApplySettingsUpdates(rs.GetDelta()), EDatabaseError);
    EXPECT_EQ(Count("select count(*) from settings"), 1);
}

TEST_P(Gateway, TemplatesCharsetsAndBooks)
{
    const DataPacket body = conn->GetTemplate("HTML_EXPORT_BODY")[0];
    ASSERT_EQ(body.RowCount(), 1);
    for (const char* placeholder : {"%Auxiliary%", "%BackColor%", "%Charset%", "%EntryRow%", "%HTMLName%"})
        EXPECT_TRUE(body.Value(0, "text").toString().contains(placeholder)) << placeholder;
    const DataPacket row = conn->GetTemplate("HTML_EXPORT_ENTRY_ROW")[0];
    ASSERT_EQ(row.RowCount(), 1);
    for (const char* placeholder : {"%EntryTitle%", "%Entry_%", "%Comments%", "%EntryId%", "%Entryfiles%"})
        EXPECT_TRUE(row.Value(0, "text").toString().contains(placeholder)) << placeholder;
    EXPECT_EQ(conn->GetTemplate("NO_SUCH' or '1'='1")[0].RowCount(), 0);

    const DataPacket charsets = conn->GetCharsets()[0];
    QStringList codes, names;
    for (int i = 0; i < charsets.RowCount(); ++i) {
        codes << charsets.Value(i, "usercode").toString();
        names << charsets.Value(i, "name").toString();
    }
    for (const char* c : {"iso-8859-1", "utf-8", "iso-8859-7", "windows-1252"})
        EXPECT_TRUE(codes.contains(c)) << c;
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(names, sorted);
    EXPECT_GE(conn->GetBooks()[0].FieldIndex("name"), 0);
}

TEST_P(Gateway, MruItemsAreAddedOnceAndStoredVerbatim)
{
    const QStringList texts = {"it's", "a -- b", "x; drop table entries", "100%", "ΣΟΦΙΑ"};
    for (const QString& t : texts)
        conn->AddMRUListItem(1, 3, t);
    conn->AddMRUListItem(1, 3, "it's");
    conn->AddMRUListItem(1, 3, "σοφια");   // the same text in another case
    conn->AddMRUListItem(1, 1, "it's");    // another list
    ClientRecordSet items;
    conn->OpenQueries({{"select Text from MRUListItems where MRUList = ? order by code", {3}}}, {&items});
    QStringList stored;
    for (items.First(); !items.Eof(); items.Next())
        stored << items.AsString("text");
    EXPECT_EQ(stored, texts);
    EXPECT_EQ(Count("select count(*) from MRUListItems where MRUList = 1"), 1);
    EXPECT_EQ(Count("select count(*) from entries"), 0);
}

TEST_P(Gateway, IdentifiersAreUniqueAndBlocksConsecutive)
{
    const int a = conn->GetNewEntryCode();
    const int b = conn->GetNewEntryCode();   // the first was never used: still a new code
    EXPECT_NE(a, b);
    const int set1 = conn->GetNextRecID("bookmarkSets");
    const int set2 = conn->GetNextRecID("bookmarksets");   // both spellings share one counter
    EXPECT_GE(set1, 100);
    EXPECT_EQ(set2, set1 + 1);
    const int first = conn->ReserveNextRecIDs("entryfiles", 5);
    EXPECT_EQ(conn->ReserveNextRecIDs("ENTRYFILES", 1), first + 5);
    EXPECT_THROW(conn->GetNextRecID("no such table"), EDatabaseError);
    EXPECT_THROW(conn->ReserveNextRecIDs("entryfiles", 0), EDatabaseError);
}

TEST_P(Gateway, ConcurrentConnectionsReserveDisjointBlocks)
{
    constexpr int kRounds = 60;
    constexpr int kBlock = 4;
    std::vector<int> firsts[2];
    std::vector<std::thread> workers;
    std::atomic<int> failures{0};
    for (int t = 0; t < 2; ++t) {
        workers.emplace_back([&, t] {
            try {
                TdmConnection own(db->Info());   // one connection per thread
                if (!own.Connect()) {
                    ++failures;
                    return;
                }
                for (int i = 0; i < kRounds; ++i)
                    firsts[t].push_back(own.ReserveNextRecIDs("entryfiles", kBlock));
            } catch (...) {
                ++failures;
            }
        });
    }
    for (auto& w : workers)
        w.join();
    ASSERT_EQ(failures.load(), 0);
    QSet<int> all;
    for (const auto& list : firsts)
        for (const int first : list)
            for (int k = 0; k < kBlock; ++k)
                all.insert(first + k);
    EXPECT_EQ(all.size(), 2 * kRounds * kBlock);   // no identifier handed out twice
}

TEST_P(Gateway, LikeIgnoresCaseForEveryLetter)
{
    const QList<QPair<QString, QString>> cases = {
        {"καλημέρα σας", "ΚΑΛΗΜΈΡΑ"}, {"Η ΣΟΦΙΑ", "σοφια"}, {"Große Straße", "STRAẞE"},
        {"Привет, мир", "пРИВЕТ"},    {"Plain ASCII", "ascii"},
    };
    for (const auto& [stored, key] : cases) {
        const int code = StoreEntry(stored);
        ClientRecordSet rs;
        const QString condition = conn->Dialect().LikeCondition("Title", "?");
        const QString pattern = "%" + key + "%";
        conn->OpenQueries({TSqlStatement{"select code from entries where " + condition, {pattern}}}, {&rs});
        ASSERT_EQ(rs.RecordCount(), 1) << stored.toStdString() << " / " << key.toStdString();
        EXPECT_EQ(rs.AsInteger("code"), code);
        conn->DeleteEntries(QString::number(code));
    }
    StoreEntry(R"(C:\notes\50% off_sale)");
    const auto count = [&](const QString& pattern) {
        ClientRecordSet rs;
        conn->OpenQueries({TSqlStatement{"select code from entries where " + conn->Dialect().LikeCondition("Title", "?"),
                                         {pattern}}},
                          {&rs});
        return rs.RecordCount();
    };
    EXPECT_EQ(count(R"(%c:\notes\%)"), 1);   // a backslash is just a backslash
    EXPECT_EQ(count("%50_ off%"), 1);         // "_" stays a wildcard
    EXPECT_EQ(count("%50%sale"), 1);
    EXPECT_EQ(count("%51%"), 0);
}

TEST_P(Gateway, FilingIntoADeletedCategoryIsRefusedAndChangesNothing)
{
    const int kept = AddCategory("Kept", 0);
    const int doomed = AddCategory("Doomed", 0);
    const int live = AddCategory("Live", 0);
    const int first = StoreEntry("First", kept);
    const int second = StoreEntry("Second");
    db->ExecOutside(QStringLiteral("delete from categories where code = %1").arg(doomed));   // another user

    const auto recategorize = [&](int category) {
        ClientRecordSet rs;
        conn->OpenQueries({{"select * from entries order by code", {}}}, {&rs});
        rs.Locate("code", second);
        rs.SetValue("Title", "Second renamed");   // an innocent change in the same save
        rs.Post();
        rs.Locate("code", first);
        rs.SetValue("category", category);
        rs.Post();
        conn->ApplyEntryUpdates({rs.GetDelta(), std::nullopt});
    };
    struct TCase {
        const char* name;
        std::function<void(int category)> file;
        QString refusal;
    };
    const QList<TCase> cases = {
        {"new entry", [&](int category) { conn->ApplyEntryUpdates(NewEntry("New", category).second); },
         kEntryCategoryGone},
        {"changed category", recategorize, kEntryCategoryGone},
        {"moved entries",
         [&](int category) { conn->MoveEntriesToCategory(QStringLiteral("%1,%2").arg(second).arg(first), category); },
         kMoveTargetGone},
    };
    for (const auto& c : cases) {
        const QStringList before = Snapshot();
        EXPECT_EQ(Outcome([&] { c.file(doomed); }), c.refusal) << c.name;
        EXPECT_EQ(Snapshot(), before) << c.name;
        EXPECT_EQ(conn->TransactionDepth(), 0) << c.name;
    }
    const QString inLive = QStringLiteral("select count(*) from entries where category = %1").arg(live);
    for (const auto& c : cases) {
        const int filed = Count(inLive);
        EXPECT_EQ(Outcome([&] { c.file(live); }), "saved") << c.name;
        EXPECT_GT(Count(inLive), filed) << c.name;
    }
}

TEST_P(Gateway, ChangesThatLeaveTheCategoryAloneAreNotChecked)
{
    const int doomed = AddCategory("Doomed", 0);
    const int dangling = StoreEntry("Filed before the delete", doomed);
    const int zero = StoreEntry("Code zero");
    const int none = StoreEntry("No category");
    // Both bypass the gateway, as older data or another program may have done.
    db->ExecOutside(QStringLiteral("delete from categories where code = %1").arg(doomed));
    db->ExecOutside(QStringLiteral("update entries set category = 0 where code = %1").arg(zero));
    for (const int code : {dangling, zero, none}) {
        ClientRecordSet rs;
        rs.LoadFromPacket(conn->GetEntry(code)[0]);
        rs.SetValue("Title", "Renamed");
        rs.Post();
        EXPECT_EQ(Outcome([&] { conn->ApplyEntryUpdates({rs.GetDelta(), std::nullopt}); }), "saved") << code;
        EXPECT_EQ(TitleOf(code), "Renamed");
    }
}

TEST_P(Gateway, DeletingACategoryFiledIntoMeanwhileIsRefused)
{
    const int other = AddCategory("Other", 0);
    struct TCase {
        const char* name;
        const char* counter;
        QString filing;   // another user's statement; %1 the category, %2 a new code
    };
    const QList<TCase> cases = {
        {"entry", "entries", "insert into entries (code, category, Title) values (%2, %1, 'Filed meanwhile')"},
        {"subcategory", "categories", "insert into categories (code, parent, name) values (%2, %1, 'Added meanwhile')"},
    };
    for (const auto& c : cases) {
        const QString name = QStringLiteral("Doomed %1").arg(c.name);
        const int doomed = AddCategory(name, 0);
        ClientRecordSet rs;
        rs.LoadFromPacket(conn->GetCategories()[0]);   // what the category manager shows
        db->ExecOutside(c.filing.arg(doomed).arg(conn->GetNextRecID(c.counter)));
        ASSERT_TRUE(rs.Locate("code", other));
        rs.SetValue("name", "Other renamed");   // saved together with the delete, so lost with it
        rs.Post();
        ASSERT_TRUE(rs.Locate("code", doomed));
        rs.Delete();
        EXPECT_EQ(Outcome([&] { conn->ApplyCategoryUpdates({rs.GetDelta()}); }), kCategoryInUse.arg(name)) << c.name;
        EXPECT_EQ(Count(QStringLiteral("select count(*) from categories where code = %1").arg(doomed)), 1) << c.name;
        EXPECT_EQ(Count("select count(*) from categories where name = 'Other'"), 1) << c.name;
    }

    // Unused categories still go, a parent together with its child in one save.
    const int parent = AddCategory("Parent", 0);
    const int child = AddCategory("Child", parent);
    ClientRecordSet rs;
    rs.LoadFromPacket(conn->GetCategories()[0]);
    for (const int code : {parent, child}) {
        ASSERT_TRUE(rs.Locate("code", code));
        rs.Delete();
    }
    EXPECT_EQ(Outcome([&] { conn->ApplyCategoryUpdates({rs.GetDelta()}); }), "saved");
    EXPECT_EQ(Count(QStringLiteral("select count(*) from categories where code in (%1, %2)").arg(parent).arg(child)),
              0);
}

TEST_P(Gateway, BinaryValuesKeepEveryByteWhetherHeldInMemoryOrInAFile)
{
    // Every byte value, NUL, quotes and backslashes among them, over more
    // than one piece of the stream.
    QByteArray bytes;
    for (int i = 0; bytes.size() < (3 << 20) + 17; ++i)
        bytes.append(char(i % 256)).append(i % 7 == 0 ? "\\x00'\"\\" : "");
    const QString file = TestEnv::ScratchFolder() + "value.bin";
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    out.close();

    for (const QVariant& value : {QVariant(bytes), QVariant::fromValue(TBlobFile::OpenFile(file))}) {
        auto [code, updates] = NewEntry("Bytes");
        updates[0]->rows[0].newValues[FindFieldIndex(updates[0]->fields, "Items")] = value;
        conn->ApplyEntryUpdates(updates);
        const QString folder = TestEnv::ScratchFolder();
        const DataPackets packets = conn->GetEntry(code, folder);
        const QVariant items = packets[0].Value(0, "Items");
        ASSERT_TRUE(TBlobFile::Holds(items)) << "the value comes in a file, not in memory";
        EXPECT_EQ(items.value<TBlobFile>().Size(), bytes.size());
        EXPECT_TRUE(items.toByteArray() == bytes);
        EXPECT_TRUE(QDir(folder).isEmpty()) << "the file has no name until it is given one";
        items.value<TBlobFile>().SaveAs(folder + "named.bin");
        EXPECT_TRUE(SameContent(folder + "named.bin", file));
    }
    // A value that came from a named file is copied, not linked, and
    // replaces what was at the target whole.
    const QString target = TestEnv::ScratchFolder() + "copy.bin";
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("an older file") > 0);
    old.close();
    TBlobFile::OpenFile(file).SaveAs(target);
    EXPECT_TRUE(SameContent(target, file));
    EXPECT_EQ(QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_P(Gateway, AValueAboveTheLimitIsRefusedAndNothingOfItsRowIsWritten)
{
    const QString file = TestEnv::ScratchFolder() + "huge.bin";
    {
        QFile sparse(file);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(conn->MaxValueBytes() + 1));
    }
    EXPECT_EQ(conn->MaxValueBytes(), 1000000000);   // the same on both engines
    auto [code, updates] = NewEntry("Too large");
    updates[0]->rows[0].newValues[FindFieldIndex(updates[0]->fields, "Items")] =
        QVariant::fromValue(TBlobFile::OpenFile(file));
    const QLocale locale;
    EXPECT_EQ(Outcome([&] { conn->ApplyEntryUpdates(updates); }),
              QString("A value of %1 bytes is larger than the %2 bytes (1 GB) that the database can hold in one "
                      "value.")
                  .arg(locale.toString(qint64(1000000001)), locale.toString(qint64(1000000000))));
    EXPECT_EQ(conn->CountEntries(), 0);
    EXPECT_EQ(Count("select count(*) from entryfiles"), 0);
}

TESSARYN_INSTANTIATE_ENGINES(Gateway);

// A server connection can break (the server restarted, the network went).
class GatewayLostServer : public Gateway {
protected:
    // Ends this connection's session on the server, and waits until it is gone.
    void CutConnection()
    {
        db->ExecOutside("select pg_terminate_backend(pid, 10000) from pg_stat_activity "
                        "where datname = current_database() and pid <> pg_backend_pid()");
    }
};

TEST_P(GatewayLostServer, ALostConnectionIsReportedAndOpenedAgainForTheNextCall)
{
    const int first = StoreEntry("Before");
    const auto [code, updates] = NewEntry("During");
    const QString lost = "The connection to the database server was lost (";

    CutConnection();
    const QString failed = Outcome([&] { conn->ApplyEntryUpdates(updates); });
    EXPECT_TRUE(failed.startsWith(lost)) << failed.toStdString();
    EXPECT_TRUE(failed.contains("Nothing of what was being done was saved")) << failed.toStdString();
    // The next call opens a new connection; nothing of the failed call was
    // kept, so the same changes go in whole now.
    EXPECT_EQ(Outcome([&] { conn->ApplyEntryUpdates(updates); }), "saved");
    EXPECT_EQ(conn->CountEntries(), 2);

    CutConnection();
    const QString reading = Outcome([&] { conn->GetEntry(first); });
    EXPECT_TRUE(reading.startsWith(lost)) << reading.toStdString();
    EXPECT_EQ(TitleOf(first), "Before");
    EXPECT_EQ(TitleOf(code), "During");
}

INSTANTIATE_TEST_SUITE_P(Engines, GatewayLostServer, ::testing::Values(TEngine::PostgreSQL), EngineName);

// Only a server lets two write transactions overlap; SQLite queues them.
class GatewayServerRace : public Gateway {};

TEST_P(GatewayServerRace, FilingWaitsForAnUncommittedCategoryDeleteAndThenFails)
{
    using namespace std::chrono_literals;
    const int doomed = AddCategory("Doomed", 0);
    const DeltaArray filing = NewEntry("Filed during the delete", doomed).second;

    // User A deletes the category and has not committed yet.
    auto userA = db->Connect();
    userA->BeginTransaction();
    QSqlQuery remove(userA->Database());
    ASSERT_TRUE(remove.exec(QStringLiteral("delete from categories where code = %1").arg(doomed)));
    QSqlQuery pidA(userA->Database());
    ASSERT_TRUE(pidA.exec("select pg_backend_pid()") && pidA.next());
    const int backendA = pidA.value(0).toInt();

    // User B files an entry into it, on a connection of its own thread.
    std::promise<int> backendPromise;
    std::shared_future<int> backendB = backendPromise.get_future().share();
    std::promise<QString> outcomePromise;
    std::shared_future<QString> outcome = outcomePromise.get_future().share();
    std::thread userB([&, info = db->Info(), filing] {
        TdmConnection own(info);
        if (!own.Connect()) {
            backendPromise.set_value(0);
            outcomePromise.set_value("no connection: " + own.LastConnectError());
            return;
        }
        QSqlQuery pid(own.Database());
        backendPromise.set_value(pid.exec("select pg_backend_pid()") && pid.next() ? pid.value(0).toInt() : 0);
        outcomePromise.set_value(Outcome([&] { own.ApplyEntryUpdates(filing); }));
    });
    // However the test ends, B is released (A's rollback; its session ended
    // as a last resort) and joined, so a failure can never hang the run.
    const auto release = qScopeGuard([&] {
        userA->Rollback();
        if (outcome.wait_for(10s) != std::future_status::ready && backendB.wait_for(0s) == std::future_status::ready) {
            ClientRecordSet ignored;
            try {
                conn->OpenQueries({{"select pg_terminate_backend(?)", {backendB.get()}}}, {&ignored});
            } catch (const ETessarynError&) {
            }
        }
        userB.join();
    });

    ASSERT_EQ(backendB.wait_for(10s), std::future_status::ready);
    const int pidB = backendB.get();
    ASSERT_NE(pidB, 0) << (outcome.wait_for(0s) == std::future_status::ready ? outcome.get().toStdString() : "");
    // B must be waiting for A, not merely slow.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    bool waitsForA = false;
    while (!waitsForA && outcome.wait_for(20ms) != std::future_status::ready
           && std::chrono::steady_clock::now() < deadline) {
        ClientRecordSet blockers;
        conn->OpenQueries({{"select count(*) from (select unnest(pg_blocking_pids(?)) as pid) b where pid = ?",
                            {pidB, backendA}}},
                          {&blockers});
        blockers.First();
        waitsForA = blockers.Value(0).toInt() > 0;
    }
    ASSERT_TRUE(waitsForA) << "the filing did not wait for the delete: "
                           << (outcome.wait_for(0s) == std::future_status::ready ? outcome.get().toStdString()
                                                                                   : "still running");

    userA->Commit();
    ASSERT_EQ(outcome.wait_for(10s), std::future_status::ready) << "the filing did not finish after the commit";
    EXPECT_EQ(outcome.get(), kEntryCategoryGone);
    EXPECT_EQ(conn->CountEntries(), 0);
    EXPECT_EQ(Count("select count(*) from entryfiles"), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, GatewayServerRace, ::testing::Values(TEngine::PostgreSQL), EngineName);

TEST(GatewayConnect, MissingOrForeignDatabasesFailWithoutRaising)
{
    const QString folder = TestEnv::ScratchFolder();
    TdmConnection missing(TConnectionInfo::Embedded(folder + "missing.db"));
    EXPECT_FALSE(missing.Connect());
    EXPECT_EQ(missing.ConnectStatus(), 1);
    EXPECT_FALSE(QFile::exists(folder + "missing.db"));   // nothing was created

    QFile garbage(folder + "garbage.db");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("this is not a database at all, just text");
    garbage.close();
    TdmConnection foreign(TConnectionInfo::Embedded(folder + "garbage.db"));
    EXPECT_FALSE(foreign.Connect());

    TdmConnection stopped(TConnectionInfo::Server("host=127.0.0.1 port=1 dbname=tessaryn user=nobody"));
    EXPECT_FALSE(stopped.Connect());
    EXPECT_FALSE(stopped.LastConnectError().isEmpty());
}
