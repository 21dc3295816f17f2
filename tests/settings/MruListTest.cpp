#include "TestDatabase.h"
#include "app/Errors.h"
#include "app/User.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "settings/MruLists.h"

#include <gtest/gtest.h>

namespace {

// Passes every call on to the database provider and writes down what was asked.
class TRecordingProvider : public IMRUListProvider {
public:
    explicit TRecordingProvider(IMRUListProvider& inner) : m_inner(inner) {}

    void AddItem(int userCode, int listCode, const QString& text) override
    {
        calls << QString("AddItem(%1,%2,%3)").arg(userCode).arg(listCode).arg(text);
        m_inner.AddItem(userCode, listCode, text);
    }
    void StyleListWindow(QObject* window) override { m_inner.StyleListWindow(window); }
    void LoadList(const QString& listName, const QString& prefix, int& listCode, ClientRecordSet& items) override
    {
        calls << QString("LoadList(%1,%2)").arg(listName, prefix);
        m_inner.LoadList(listName, prefix, listCode, items);
    }
    int GetUserCode() const override { return m_inner.GetUserCode(); }

    QStringList calls;

private:
    IMRUListProvider& m_inner;
};

QStringList Texts(const ClientRecordSet& items)
{
    QStringList texts;
    DataPacket packet = items.ToPacket();
    for (int row = 0; row < packet.RowCount(); ++row)
        texts << packet.Value(row, "Text").toString();
    return texts;
}

class MruLists : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (conn)
            provider = std::make_unique<TMRUListProvider>(*conn, user);
    }

    int Scalar(const QString& sql, const QVariantList& params = {})
    {
        ClientRecordSet rs;
        conn->OpenQueries({{sql, params}}, {&rs});
        rs.First();
        return rs.IsEmpty() ? -1 : rs.Value(0).toInt();
    }
    int ItemRows() { return Scalar("select count(*) from MRUListItems"); }
    int ListRows() { return Scalar("select count(*) from MRULists"); }
    int CodeOf(const QString& list) { return Scalar("select Code from MRULists where name = ?", {list}); }

    TUser user;
    std::unique_ptr<TMRUListProvider> provider;
};

TEST_P(MruLists, FirstAddLearnsTheListCodeAndATextIsKeptOnce)
{
    TRecordingProvider recorder(*provider);
    TMRUList list("Recent searches", recorder);
    EXPECT_EQ(list.ListCode(), 0);
    const int code = CodeOf("Recent searches");
    ASSERT_GT(code, 0);

    list.AddText("   ");   // blank: nothing at all
    list.AddText("");
    EXPECT_TRUE(recorder.calls.isEmpty());

    list.AddText("alpha search");
    list.AddText("alpha search");
    list.AddText("ALPHA Search");   // the same text to the server
    list.AddText("  padded ");      // kept as typed
    EXPECT_EQ(list.ListCode(), code);
    EXPECT_EQ(recorder.calls, QStringList({"LoadList(Recent searches,***)", QString("AddItem(1,%1,alpha search)").arg(code),
                                           QString("AddItem(1,%1,alpha search)").arg(code),
                                           QString("AddItem(1,%1,ALPHA Search)").arg(code),
                                           QString("AddItem(1,%1,  padded )").arg(code)}));
    EXPECT_EQ(ItemRows(), 2);

    list.LoadItems("");
    EXPECT_EQ(Texts(list.Items()), QStringList({"  padded ", "alpha search"}));
    EXPECT_EQ(list.Items().IndexFieldNames(), "text");
    list.Items().First();
    EXPECT_EQ(list.Items().AsInteger("MRUList"), code);
    EXPECT_EQ(list.Items().AsInteger("aUser"), 1);
    EXPECT_GT(list.Items().AsInteger("code"), 0);
}

TEST_P(MruLists, PrefixFindsTextsBeginningWithItInAnyCase)
{
    TMRUList searches("Recent searches", *provider);
    for (const QString text : {"abacus", "ABC news", "Abcdef", "xab", "ΣΟΦΙΑ", "Москва", "Über alles", "a%b", "50% off"})
        searches.AddText(text);
    TMRUList source("source", *provider);
    source.AddText("abroad");   // another list

    struct TCase {
        QString prefix;
        QStringList expected;   // in index order
    };
    const QList<TCase> cases{
        {"ab", {"abacus", "ABC news", "Abcdef"}},
        {"abc", {"ABC news", "Abcdef"}},
        {"ABCD", {"Abcdef"}},
        {"σο", {"ΣΟΦΙΑ"}},
        {"мос", {"Москва"}},
        {"üb", {"Über alles"}},
        {"a_c", {"ABC news", "Abcdef"}},           // "_" stands for one character
        {"%ab", {"abacus", "ABC news", "Abcdef", "xab"}},   // "%" for any run
        {"zz", {}},
        {"***", {}},
    };
    for (const TCase& c : cases) {
        searches.LoadItems(c.prefix);
        EXPECT_EQ(Texts(searches.Items()), c.expected) << c.prefix.toStdString();
        EXPECT_EQ(searches.ListCode(), CodeOf("Recent searches"));
    }
    searches.LoadItems("");
    EXPECT_EQ(searches.Items().RecordCount(), 9);
}

TEST_P(MruLists, QuotesAndCommentsInTextsAndPrefixesNeverChangeTheStatement)
{
    TMRUList list("keywords", *provider);
    const QString tricky = "O'Brien -- said; \"hi\" \\";
    list.AddText("plain");
    list.AddText(tricky);
    const int items = ItemRows();
    const int lists = ListRows();
    ASSERT_EQ(items, 2);

    for (const QString prefix : {"x' or '1'='1", "' or 1=1 --", "'; delete from MRUListItems; --", "x\\", "\""}) {
        list.LoadItems(prefix);
        EXPECT_TRUE(list.Items().IsEmpty()) << prefix.toStdString();
        EXPECT_EQ(list.ListCode(), CodeOf("keywords"));
    }
    list.LoadItems("o'brien -- SAID;");
    EXPECT_EQ(Texts(list.Items()), QStringList({tricky}));

    TMRUList injected("keywords' or '1'='1", *provider);   // a list name is bound as well
    injected.LoadItems("");
    EXPECT_EQ(injected.ListCode(), 0);
    EXPECT_TRUE(injected.Items().IsEmpty());
    EXPECT_EQ(ItemRows(), items);
    EXPECT_EQ(ListRows(), lists);
}

TEST_P(MruLists, AddingToAListThatDoesNotExistFailsAndStoresNothing)
{
    TMRUList missing("no such list", *provider);
    EXPECT_THROW(missing.AddText("text"), EDatabaseError);
    EXPECT_EQ(missing.ListCode(), 0);
    EXPECT_EQ(ItemRows(), 0);
}

TESSARYN_INSTANTIATE_ENGINES(MruLists);

} // namespace
