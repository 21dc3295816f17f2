#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "app/Errors.h"
#include "db/ClientRecordSet.h"
#include "db/EngineDialect.h"
#include "db/SchemaBuilder.h"
#include "db/SchemaUpgrade.h"
#include "db/SqliteFunctions.h"
#include "db/dServerData.h"
#include "db/dmConnection.h"
#include "search/SearchKeyParser.h"
#include "search/SearchOptions.h"
#include "search/SearchQuery.h"
#include "search/dmSearch.h"
#include "settings/ISettingsManager.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QSqlError>
#include <random>

static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using TOptions = TOstrivaleSearchOptions;

// Every content kind a search can look in.
constexpr int kAllContent = (1 << TOptions::ContentFlagCount) - 1;

struct TEntryFixture {
    QString title;
    QStringList files;   // names; a name ending in "/" is stored as a folder
    QVariant category = QVariant();
    QDate created = QDate(2006, 3, 1);
    QString keywords = QString();
    QString comments = QStringLiteral(" ");
    QString source = QString();
    QDateTime modified = QDateTime();
    QTime createdTime = QTime(0, 0);
};

class Search : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (conn)
            search = std::make_unique<TdmSearch>(*conn, desktop);
    }

    // Stores an entry and its file rows through the gateway's write path.
    int Store(const TEntryFixture& fixture)
    {
        ClientRecordSet entry, files;
        const DataPackets empty = conn->GetEntry(0);
        entry.LoadFromPacket(empty[0]);
        files.LoadFromPacket(empty[1]);
        const int code = conn->GetNewEntryCode();
        entry.Edit();
        entry.SetValue("code", code);
        entry.SetValue("Title", fixture.title);
        entry.SetValue("Keywords", fixture.keywords);
        entry.SetValue("Comments", fixture.comments);
        entry.SetValue("source", fixture.source);
        entry.SetValue("category", fixture.category);
        entry.SetValue("DateCreated", QDateTime(fixture.created, fixture.createdTime));
        entry.SetValue("DateModified", fixture.modified.isValid() ? fixture.modified : QDateTime(fixture.created, QTime(0, 0)));
        entry.SetValue("GUID", "6F9619FF-8B86-D011-B42D-00C04FC964FF");
        entry.Post();
        if (!fixture.files.isEmpty()) {
            int fileCode = conn->ReserveNextRecIDs("entryfiles", int(fixture.files.size()));
            for (const QString& name : fixture.files) {
                const bool folder = name.endsWith('/');
                files.Append();
                files.SetValue("code", fileCode++);
                files.SetValue("entry", code);
                files.SetValue("Name", folder ? name.chopped(1) : name);
                files.SetValue("Type", folder ? 2 : 1);
                files.SetValue("FileSize", folder ? 0 : 10);
                files.Post();
            }
        }
        conn->ApplyEntryUpdates({entry.GetDelta(), fixture.files.isEmpty() ? std::nullopt : std::optional(files.GetDelta())});
        return code;
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
        rs.Post();
        conn->ApplyCategoryUpdates({rs.GetDelta()});
        children[parent].append(code);
        return code;
    }

    // Options that look everywhere the flags say, in every category.
    TOptions Options(const QString& keys, int flags = kAllContent, int op = TOptions::OperatorAll)
    {
        TOptions options;
        options.Keys = keys;
        options.ContentFlags = flags;
        options.Operator = op;
        options.AllCategories = true;
        options.DescendantCodes = [this](int code) { return DescendantsOf(code); };
        return options;
    }

    // The category tree as the tests built it, depth first.
    QList<int> DescendantsOf(int code) const
    {
        QList<int> result;
        for (const int child : children.value(code)) {
            result.append(child);
            result.append(DescendantsOf(child));
        }
        return result;
    }

    // The titles of the entries found, in the record set's order.
    QStringList Titles()
    {
        QStringList titles;
        for (search->cdsSearch.First(); !search->cdsSearch.Eof(); search->cdsSearch.Next())
            titles << search->cdsSearch.AsString("title");
        return titles;
    }

    QSet<QString> Found(const TOptions& options)
    {
        search->RunSearch(options);
        const QStringList titles = Titles();
        return QSet<QString>(titles.begin(), titles.end());
    }

    // The detail rows visible for the current entry, as "name/type".
    QStringList VisibleFiles()
    {
        QStringList names;
        for (search->cdsEntryFiles.First(); !search->cdsEntryFiles.Eof(); search->cdsEntryFiles.Next())
            names << search->cdsEntryFiles.AsString("name") + "/" + search->cdsEntryFiles.AsString("type");
        return names;
    }

    // Every file row the search returned, whatever the current entry.
    QSet<QString> AllReturnedFiles()
    {
        ClientRecordSet& files = search->cdsEntryFiles;
        files.CancelRange();
        QSet<QString> names;
        for (files.First(); !files.Eof(); files.Next())
            names << files.AsString("name");
        return names;
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmSearch> search;
    QHash<int, QList<int>> children;
};

TEST_P(Search, EntriesAreFoundThroughTitlesOrFileNamesWithTheirFiles)
{
    Store({"alpha report", {"a1.txt"}});
    Store({"other", {"notes.txt", "Alpha.pdf"}});
    Store({"alpha only", {"beta.txt"}});
    Store({"nothing", {"gamma.doc"}});
    const int titlesAndFiles = (1 << TOptions::scTitles) | (1 << TOptions::scFileNames);

    EXPECT_EQ(Found(Options("alpha", titlesAndFiles)), (QSet<QString>{"alpha report", "other", "alpha only"}));
    EXPECT_EQ(AllReturnedFiles(), (QSet<QString>{"a1.txt", "notes.txt", "Alpha.pdf", "beta.txt"}));
    ASSERT_TRUE(search->cdsSearch.Locate("title", "other"));
    EXPECT_EQ(VisibleFiles(), (QStringList{"Alpha.pdf/1", "notes.txt/1"}));

    // All keys must be found in the entry's own columns or all in one file name.
    EXPECT_TRUE(Found(Options("alpha beta", titlesAndFiles)).isEmpty());
    EXPECT_EQ(Found(Options("alpha beta", titlesAndFiles, TOptions::OperatorAny)),
              (QSet<QString>{"alpha report", "other", "alpha only"}));
    // Without file names searched, a file name finds nothing.
    EXPECT_EQ(Found(Options("beta", 1 << TOptions::scTitles)), QSet<QString>{});
}

TEST_P(Search, EachContentKindIsSearchedOnlyWhenItsFlagIsOn)
{
    const int category = AddCategory("Recipes", 0);
    Store({"unrelated", {"f.txt"}});
    Store({"x1", {"f.txt"}, QVariant(), QDate(2006, 3, 1), "needle here"});
    Store({"x2", {"f.txt"}, QVariant(), QDate(2006, 3, 1), "", "a needle comment"});
    Store({"x3", {"needle.txt"}});
    Store({"x4", {"f.txt"}, QVariant(), QDate(2006, 3, 1), "", " ", "http://needle.org"});
    Store({"x5", {"f.txt"}, category});
    Store({"x6 recipes", {"f.txt"}, category});

    const QList<std::pair<int, QSet<QString>>> cases = {
        {TOptions::scKeywords, {"x1"}},          {TOptions::scComments, {"x2"}},
        {TOptions::scFileNames, {"x3"}},         {TOptions::scSource, {"x4"}},
    };
    for (const auto& [bit, expected] : cases)
        EXPECT_EQ(Found(Options("needle", 1 << bit)), expected) << bit;
    EXPECT_EQ(Found(Options("recipes", 1 << TOptions::scCategoryNames)), (QSet<QString>{"x5", "x6 recipes"}));
    EXPECT_EQ(Found(Options("recipes", 1 << TOptions::scTitles)), (QSet<QString>{"x6 recipes"}));
    EXPECT_EQ(Found(Options("needle", kAllContent)).size(), 4);
}

TEST_P(Search, DateRangeCoversWholeDaysFromFirstToLast)
{
    for (const int day : {1, 2, 3, 4})
        Store({QStringLiteral("March %1").arg(day), {}, QVariant(), QDate(2006, 3, day)});
    Store({"February 28", {}, QVariant(), QDate(2006, 2, 28)});
    Store({"March 3 late", {}, QVariant(), QDate(2006, 3, 3), "", " ", "", QDateTime(), QTime(23, 59, 59)});

    TOptions options = Options("");
    options.DateRange = true;
    options.FromDate = QDate(2006, 3, 1);
    options.ToDate = QDate(2006, 3, 3);
    EXPECT_EQ(Found(options), (QSet<QString>{"March 1", "March 2", "March 3", "March 3 late"}));
    options.Keys = "march";
    options.FromDate = QDate(2006, 3, 4);
    options.ToDate = QDate(2006, 3, 4);
    EXPECT_EQ(Found(options), QSet<QString>{"March 4"});
    options.DateRange = false;
    EXPECT_EQ(Found(options).size(), 5);
}

TEST_P(Search, CategoryFilterWithSubcategoriesAndEntriesWithoutCategory)
{
    const int top = AddCategory("Top", 0);
    const int left = AddCategory("Left", top);
    const int right = AddCategory("Right", top);
    const int deep = AddCategory("Deep", right);
    const int other = AddCategory("Other", 0);
    Store({"in top", {}, top});
    Store({"in left", {}, left});
    Store({"in right", {}, right});
    Store({"in deep", {}, deep});
    Store({"in other", {}, other});
    Store({"in no category", {}});

    TOptions options = Options("in");
    options.AllCategories = false;
    options.CategoryCodes = {top};
    EXPECT_EQ(Found(options), QSet<QString>{"in top"});
    options.IncludeSubcategories = true;
    EXPECT_EQ(options.GetSearchCategoryCodes(), QStringLiteral("%1,%2,%3,%4").arg(top).arg(left).arg(right).arg(deep));
    EXPECT_EQ(Found(options), (QSet<QString>{"in top", "in left", "in right", "in deep"}));
    options.CategoryCodes = {right, other};
    EXPECT_EQ(Found(options), (QSet<QString>{"in right", "in deep", "in other"}));

    options.AllCategories = true;
    EXPECT_EQ(Found(options).size(), 6);
    EXPECT_TRUE(Found(options).contains("in no category"));
}

TEST_P(Search, NoCategoryChosenWithAllCategoriesOffFindsNothing)
{
    // The user switched "all categories" off and picked none: nothing is in
    // no category, so nothing is found; the server is never handed an
    // empty list, and no file of the database comes along.
    Store({"first", {"a.txt"}});
    Store({"second", {"b.txt"}, AddCategory("Somewhere", 0)});
    for (const QString& keys : {QString(), QStringLiteral("first")}) {
        TOptions options = Options(keys);
        options.AllCategories = false;
        options.CategoryCodes.clear();
        EXPECT_FALSE(search->RunSearch(options)) << keys.toStdString();
        EXPECT_TRUE(search->cdsSearch.IsEmpty());
        EXPECT_GE(search->cdsSearch.FieldIndex("title"), 0);
        EXPECT_TRUE(AllReturnedFiles().isEmpty());
        EXPECT_TRUE(desktop.messages.isEmpty());
    }
}

TEST_P(Search, CodeKeyFindsExactlyThatEntryWhenItPassesTheOtherFilters)
{
    const int category = AddCategory("Numbers", 0);
    for (int i = 1; i <= 16; ++i)
        Store({QStringLiteral("entry %1").arg(i), {QStringLiteral("file%1.txt").arg(i)}, i == 15 ? QVariant(category) : QVariant()});
    ASSERT_EQ(conn->GetEntry(15)[0].Value(0, "title").toString(), "entry 15");

    EXPECT_EQ(Found(Options("#15")), QSet<QString>{"entry 15"});
    EXPECT_EQ(Found(Options("#15", 1 << TOptions::scFileNames)), QSet<QString>{"entry 15"});
    EXPECT_EQ(Found(Options("#15 entry")), QSet<QString>{"entry 15"});
    EXPECT_EQ(Found(Options("#15 file15")), QSet<QString>{"entry 15"});   // its own file, not another's
    EXPECT_TRUE(Found(Options("#15 file14")).isEmpty());
    EXPECT_EQ(Found(Options("#15 #3", kAllContent, TOptions::OperatorAny)), (QSet<QString>{"entry 15", "entry 3"}));
    EXPECT_EQ(Found(Options("##15")), QSet<QString>{});   // the text "#15"

    TOptions filtered = Options("#15");
    filtered.AllCategories = false;
    filtered.CategoryCodes = {category};
    EXPECT_EQ(Found(filtered), QSet<QString>{"entry 15"});
    filtered.CategoryCodes = {category + 100};
    EXPECT_TRUE(Found(filtered).isEmpty());
    filtered.AllCategories = true;
    filtered.DateRange = true;
    filtered.FromDate = filtered.ToDate = QDate(2006, 3, 2);
    EXPECT_TRUE(Found(filtered).isEmpty());
}

TEST_P(Search, SortOrdersAreAscendingIndexesOverTheComputedColumns)
{
    // Created in this order; modified in another.
    const int b = Store({"banana", {}, QVariant(), QDate(2006, 1, 1), "", " ", "", QDateTime(QDate(2006, 5, 1), QTime(0, 0))});
    const int a = Store({"Apple", {}, QVariant(), QDate(2006, 1, 2), "", " ", "", QDateTime(QDate(2007, 1, 1), QTime(0, 0))});
    const int c = Store({"cherry", {}, QVariant(), QDate(2006, 1, 3), "", " ", "", QDateTime(QDate(2006, 2, 1), QTime(0, 0))});
    const QList<std::pair<QString, QList<int>>> cases = {
        {"title", {a, b, c}},
        {"ReverseCreationOrder", {c, a, b}},   // newest first
        {"code", {b, a, c}},
        {"ReverseDateModified", {a, b, c}},    // last modified first
        {"", {b, a, c}},                       // the server's order
    };
    for (const auto& [field, expected] : cases) {
        search->SortField = [field = field] { return field; };
        ASSERT_TRUE(search->RunSearch(Options("")));
        QList<int> codes;
        for (search->cdsSearch.First(); !search->cdsSearch.Eof(); search->cdsSearch.Next())
            codes << search->cdsSearch.AsInteger("code");
        EXPECT_EQ(codes, expected) << field.toStdString();
        search->cdsSearch.First();
        EXPECT_EQ(search->cdsSearch.AsInteger("code"), expected.first());
    }
}

TEST_P(Search, KeylessSearchReturnsEveryEntryAndEveryFileWithTheSameColumnsOnEachEngine)
{
    Store({"one", {"b.txt", "A.txt", "folder/"}});
    Store({"two", {"c.txt"}, AddCategory("Cat", 0)});
    Store({"three", {}});
    for (const QString& keys : {QString(), QStringLiteral("  \t ")}) {
        EXPECT_TRUE(search->RunSearch(Options(keys)));
        EXPECT_EQ(search->cdsSearch.RecordCount(), 3);
        ASSERT_TRUE(search->cdsSearch.Locate("title", "one"));
        EXPECT_EQ(VisibleFiles(), (QStringList{"A.txt/1", "b.txt/1", "folder/2"}));
        ASSERT_TRUE(search->cdsSearch.Locate("title", "three"));
        EXPECT_TRUE(VisibleFiles().isEmpty());
        EXPECT_EQ(AllReturnedFiles().size(), 4);
    }

    QStringList entryColumns, fileColumns;
    for (const auto& f : search->cdsSearch.Fields())
        entryColumns << f.name;
    for (const auto& f : search->cdsEntryFiles.Fields())
        fileColumns << f.name;
    EXPECT_EQ(entryColumns, (QStringList{"code", "DateCreated", "DateModified", "category", "Title", "Keywords",
                                         "PasswordProtected", "source", "Comments", "ReverseCreationOrder",
                                         "ReverseDateModified"}));
    EXPECT_EQ(fileColumns, (QStringList{"code", "entry", "Name", "Type", "FileSize"}));
    search->cdsSearch.First();
    EXPECT_EQ(search->cdsSearch.Value("ReverseCreationOrder").toInt(), -search->cdsSearch.AsInteger("code"));
    EXPECT_EQ(search->cdsSearch.Value("DateCreated").toDateTime(), QDateTime(QDate(2006, 3, 1), QTime(0, 0)));
}

TEST_P(Search, LettersOfEveryAlphabetMatchInAnyCase)
{
    Store({"ΚΑΛΗΜΈΡΑ σας", {}});
    Store({"notes", {"η σοφια.txt"}});
    Store({"GROẞE STRAẞE", {}});
    Store({"other", {}, QVariant(), QDate(2006, 3, 1), "пРИВЕТ, мир"});
    Store({"plain", {}});
    const QList<std::pair<QString, QString>> cases = {
        {"καλημέρα", "ΚΑΛΗΜΈΡΑ σας"}, {"ΣΟΦΙΑ", "notes"}, {"straße", "GROẞE STRAẞE"}, {"Привет", "other"},
    };
    for (const auto& [key, title] : cases)
        EXPECT_EQ(Found(Options(key)), QSet<QString>{title}) << key.toStdString();
}

TEST_P(Search, KeysNeverChangeTheStatementAndWildcardsKeepTheirMeaning)
{
    const QStringList titles = {"O'Brien; --comment", R"(path C:\temp\file)", R"(he said "hi")", "100% sure",
                                "a_b", "axb", "plain words"};
    for (const QString& title : titles)
        Store({title, {"f.txt"}});
    const QList<std::pair<QString, QSet<QString>>> cases = {
        {"O'Brien", {"O'Brien; --comment"}},
        {R"("'; delete from entries; --")", {}},
        {"'", {"O'Brien; --comment"}},
        {"; --", {"O'Brien; --comment"}},
        {R"(\temp\)", {R"(path C:\temp\file)"}},
        {R"(\)", {R"(path C:\temp\file)"}},
        {R"("""hi""")", {R"(he said "hi")"}},
        {R"(said")", {}},
        {R"("he said)", {R"(he said "hi")"}},   // an unclosed quote takes the rest
        {"') or ('1'='1", {}},
        {"100%", {"100% sure"}},
        {"1%sure", {"100% sure"}},
        {"a_b", {"a_b", "axb"}},
    };
    for (const auto& [keys, expected] : cases) {
        EXPECT_EQ(Found(Options(keys)), expected) << keys.toStdString();
        EXPECT_EQ(conn->CountEntries(), titles.size()) << keys.toStdString();
    }
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(Search, AThousandKeysAreSearchedLikeAFew)
{
    // every word of the title of the first, one of them missing from the second
    QStringList words;
    for (int i = 0; i < 1000; ++i)
        words << QString("w%1x").arg(i);
    Store({words.join(' '), {"all.txt"}});
    Store({words.mid(1).join(' '), {}});
    Store({"w999x only", {}});
    EXPECT_EQ(Found(Options(words.join(' '))), QSet<QString>{words.join(' ')});
    EXPECT_EQ(Found(Options(words.join(' '), kAllContent, TOptions::OperatorAny)).size(), 3);
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
}

TEST_P(Search, NulAndLoneSurrogatesAreCleanedTheSameOnBothEngines)
{
    // NUL cannot be held by a PostgreSQL text; half of a surrogate pair is
    // no character at all: both are cleaned before the value is stored.
    const QString withNul = QString("nul") + QChar(0) + "here";
    const QString withHalf = QString("half") + QChar(0xD800) + "pair";
    Store({withNul, {}});
    Store({withHalf, {}});
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select Title from entries order by code"));
    QStringList titles;
    while (q.next())
        titles << q.value(0).toString();
    EXPECT_EQ(titles, QStringList({"nulhere", QString("half") + QChar(0xFFFD) + "pair"}));
    // the same cleaning for search keys, quoted or not
    EXPECT_EQ(Found(Options(QString("\"nul") + QChar(0) + "here\"")), QSet<QString>{"nulhere"});
    EXPECT_EQ(Found(Options(QString("half") + QChar(0xD800))), QSet<QString>{titles[1]});
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
}

TEST_P(Search, UnparsableKeysWarnAndLeaveThePreviousResult)
{
    Store({"kept", {"k.txt"}});
    ASSERT_TRUE(search->RunSearch(Options("kept")));
    for (const int flags : {kAllContent, 1 << TOptions::scFileNames}) {
        desktop.Clear();
        EXPECT_FALSE(search->RunSearch(Options("kept #x", flags)));
        ASSERT_EQ(desktop.messages.size(), 1);
        EXPECT_EQ(desktop.messages[0].text,
                  "An error occurred while parsing the search keys. Please check the keywords and retry.");
        EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
        EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::Ok);
        EXPECT_EQ(Titles(), QStringList{"kept"});
    }
}

TEST_P(Search, BookmarkSetListingUsesTheCustomPartsInSetOrder)
{
    const int first = Store({"first", {"1.txt"}});
    const int second = Store({"second", {"2.txt"}});
    Store({"third", {"3.txt"}});
    DataPackets set = conn->GetBookmarkSet(1);
    ClientRecordSet marks;
    marks.LoadFromPacket(set[1]);
    for (const auto& [entry, ordering] : {std::pair{first, 2}, std::pair{second, 1}}) {
        marks.Append();
        marks.SetValue("bookmarkset", 1);
        marks.SetValue("entry", entry);
        marks.SetValue("ordering", ordering);
        marks.Post();
    }
    conn->ApplyBookmarkSetUpdates({std::nullopt, marks.GetDelta()});

    TOptions options = Options("third");   // keys, categories and dates are ignored
    options.AllCategories = false;
    options.CustomSelect = TSearchQuery::StandardSelect(conn->Dialect()) + ", bookmarks.Ordering";
    options.CustomFrom = " from bookmarks inner join entries on bookmarks.entry = entries.code ";
    options.CustomWhere = "where bookmarks.bookmarkset = 1";
    search->BrowsingBookmarkSet = true;
    search->SortField = [] { return QStringLiteral("title"); };
    EXPECT_TRUE(search->RunSearch(options));
    EXPECT_EQ(Titles(), (QStringList{"second", "first"}));
    EXPECT_EQ(AllReturnedFiles(), (QSet<QString>{"1.txt", "2.txt"}));

    options.CustomWhere = "where bookmarks.bookmarkset = 4242";
    EXPECT_FALSE(search->RunSearch(options));
}

TEST_P(Search, ServerErrorsReachTheCallerAndLeaveNoStaleResult)
{
    Store({"kept", {"k.txt"}});
    ASSERT_TRUE(search->RunSearch(Options("kept")));
    TOptions broken = Options("");
    broken.CustomWhere = "where no_such_column = 1";
    EXPECT_THROW(search->RunSearch(broken), EDatabaseError);
    EXPECT_FALSE(search->cdsSearch.Active());
    EXPECT_FALSE(search->cdsEntryFiles.Active());
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_TRUE(search->RunSearch(Options("kept")));
}

TESSARYN_INSTANTIATE_ENGINES(Search);

// --- the substring index answers as the scan does --------------------------

class SearchIndex : public Search {
protected:
    // The codes of the entries and of the files a search returns on one path;
    // the files as the files statement finds them, and on the index's path
    // also as they are fetched there, by the codes of the entries found.
    struct TFound {
        QList<qint64> entries, files, filesByCodes;
    };
    TFound Run(const TOptions& options, TSearchPath path)
    {
        const TSearchStatements statements = TSearchQuery(conn->Dialect(), path).Build(options.ToRequest());
        EXPECT_EQ(statements.parseFailure, 0);
        const auto codes = [&](const DataPacket& packet) {
            QList<qint64> result;
            for (int row = 0; row < packet.RowCount(); ++row)
                result << packet.Value(row, "code").toLongLong();
            std::sort(result.begin(), result.end());
            return result;
        };
        const DataPacket entries = TdmServerData(*conn).RunQuery(statements.entries);
        const DataPacket files = TdmServerData(*conn).RunQuery(statements.files);
        const DataPacket byCodes = statements.filesOfFoundEntries
                                       ? TdmServerData(*conn).RunQuery(TSearchQuery::FilesOfEntries(entries))
                                       : files;
        return {codes(entries), codes(files), codes(byCodes)};
    }

    // A knowledge base of several alphabets and of texts that look like
    // wildcards, quotes and the index's own query syntax, written through
    // the gateway: stored, then changed, files replaced, an entry deleted.
    void StoreMixedBase()
    {
        const int roads = AddCategory("Straßenbau", 0);
        const int history = AddCategory("Ιστορία", roads);
        const int reports = AddCategory("Reports", 0);
        const auto on = [](int day) { return QDate(2006, 3, day); };
        Store({"Quarterly REPORT 2006", {"report_q1.pdf", "Summary 50% done.txt"}, reports, on(1), "finance, report",
               "it's five o'clock", "http://example.org/a_c"});
        Store({"ΣΤΡΑΤΗΓΙΚΉ ανάπτυξη", {"Στρατηγική.docx"}, history, on(2), "ΟΔΟΣ", "Ἀθῆναι σοφία", "βιβλίο"});
        Store({"Привет мир", {"ПРИВЕТ.txt", "folder/"}, QVariant(), on(3), "Москва"});
        Store({"Große Straße", {"STRASSE.md"}, roads, on(4), "ẞ groß", QStringLiteral(u"Kelvin 5\u212A"), R"(back\slash)"});
        Store({R"(say "hi" AND OR NOT)", {"{title}.txt", "NEAR(x).txt"}, reports, on(5), "col:umn *pre ^start",
               "abc_def 100%"});
        const int revised = Store({"summary", {}, QVariant(), on(6), "", "report in comments"});
        const int replaced = Store({"old files", {"obsolete report.doc", "kept.txt"}, roads, on(7)});
        const int deleted = Store({"deleted report ΣΤΡΑΤΗΓΙΚΉ", {"deleted report.txt"}, reports, on(8)});

        ClientRecordSet entry, files;
        DataPackets packets = conn->GetEntry(revised);
        entry.LoadFromPacket(packets[0]);
        entry.Edit();
        entry.SetValue("Title", "summary revised Отчёт");
        entry.Post();
        conn->ApplyEntryUpdates({entry.GetDelta(), std::nullopt});

        packets = conn->GetEntry(replaced);
        files.LoadFromPacket(packets[1]);
        ASSERT_TRUE(files.Locate("Name", "obsolete report.doc"));
        files.Delete();
        files.Append();
        files.SetValue("code", conn->ReserveNextRecIDs("entryfiles", 1));
        files.SetValue("entry", replaced);
        files.SetValue("Name", "annual ΣΤΡΑΤΗΓΙΚΉ.xlsx");
        files.SetValue("Type", 1);
        files.SetValue("FileSize", 5);
        files.Post();
        conn->ApplyEntryUpdates({std::nullopt, files.GetDelta()});

        ASSERT_TRUE(conn->DeleteEntries(QString::number(deleted)));
        reportsCategory = reports;
    }

    int reportsCategory = 0;
};

TEST_P(SearchIndex, EveryKeyFindsTheSameEntriesAndFilesThroughTheIndexAsThroughTheScan)
{
    ASSERT_TRUE(conn->SearchIndexed());
    StoreMixedBase();

    // keys, and how many entries the search in every column with all of
    // the keys finds: a base where nothing matched would prove nothing.
    const QList<std::pair<QString, int>> keys = {
        {"report", 3},          {"REPORT", 3},          {"revised", 1},         {"obsolete", 0},
        {"deleted", 0},         {"ΣΤΡΑΤΗΓΙΚΉ", 2},      {"στρατηγική", 2},      {"οδοσ", 1},
        {"ΣΟΦΊΑ", 1},           {"σοφία", 1},           {"ПРИВЕТ", 1},          {"отчёт", 1},
        {"STRASSE", 1},         {"straße", 2},          {"GROẞE", 1},           {"kelvin 5k", 1},
        {"50%", 1},             {"a_c", 2},             {"%", 7},               {"_", 7},
        {"it's", 1},            {"o'clock", 1},         {"\"two words\"", 0},   {"\"five o'clock\"", 1},
        {"\"\"\"hi\"\"\"", 1},  {"say\"", 0},           {R"(back\slash)", 1},   {R"(\)", 1},
        {"a", 5},               {"ab", 1},              {"ΑΝ", 1},              {"#1", 1},
        {"##12", 0},            {"#", 0},               {"a,,b", 3},            {"AND", 1},
        {"\"OR NOT\"", 1},      {"col:umn", 1},         {"{title}", 1},         {"NEAR(x)", 1},
        {"*pre", 1},            {"^start", 1},          {"report summary", 1},  {"pdf report", 1},
        {"report ΣΤΡΑΤΗΓΙΚΉ", 0}, {"мир привет", 1},    {"\"report 2006\"", 1}, {"rep%rt", 3},
        {"report in", 2},       {"#1 report", 1},
    };
    const int t = 1 << TOptions::scTitles, k = 1 << TOptions::scKeywords, c = 1 << TOptions::scComments;
    const int f = 1 << TOptions::scFileNames, s = 1 << TOptions::scSource, n = 1 << TOptions::scCategoryNames;
    const QList<int> contents = {kAllContent, t, f, n, t | f, c | s, k | n | f};

    for (const auto& [key, expectedEverywhere] : keys) {
        QList<TOptions> variants;
        for (const int content : contents)
            for (const int op : {int(TOptions::OperatorAll), int(TOptions::OperatorAny)})
                variants << Options(key, content, op);
        TOptions inReports = Options(key);
        inReports.AllCategories = false;
        inReports.CategoryCodes = {reportsCategory};
        variants << inReports;
        TOptions inTree = Options(key, kAllContent, TOptions::OperatorAny);
        inTree.AllCategories = false;
        inTree.CategoryCodes = {children.value(0).first()};
        inTree.IncludeSubcategories = true;
        variants << inTree;
        TOptions inDays = Options(key);
        inDays.DateRange = true;
        inDays.FromDate = QDate(2006, 3, 2);
        inDays.ToDate = QDate(2006, 3, 5);
        variants << inDays;

        for (const TOptions& options : variants) {
            const auto scanned = Run(options, TSearchPath::Scan);
            const auto indexed = Run(options, TSearchPath::Indexed);
            EXPECT_EQ(indexed.entries, scanned.entries) << key.toStdString() << " content " << options.ContentFlags;
            EXPECT_EQ(indexed.files, scanned.files) << key.toStdString() << " content " << options.ContentFlags;
            EXPECT_EQ(indexed.filesByCodes, scanned.files) << key.toStdString() << " content " << options.ContentFlags;
        }
        EXPECT_EQ(Run(Options(key), TSearchPath::Indexed).entries.size(), expectedEverywhere) << key.toStdString();
    }
}

TEST_P(SearchIndex, OnlyKeysTheIndexAnswersExactlyGoThroughIt)
{
    const TTableDef& entries = *Schema::FindTable("entries");
    const QString indexed = conn->Dialect().SearchIndexRows(entries, {"Title"}, {"xyz"}, true).sql;
    const QList<std::pair<QString, bool>> cases = {
        {"abc", true}, {"ΑΒΓ", true}, {"\"a b\"", true}, {"ab", false}, {"ΑΒ", false}, {"a%c", false},
        {"ab_", false}, {"#12", false}, {"##1", false},
    };
    for (const auto& [key, throughIndex] : cases) {
        const TSearchStatements built =
            TSearchQuery(conn->Dialect(), TSearchPath::Indexed).Build(Options(key, 1 << TOptions::scTitles).ToRequest());
        EXPECT_EQ(built.entries.text.contains(indexed), throughIndex) << key.toStdString();
    }
    // A key cannot leave its bound value, on the index's path either.
    const TSearchStatements plain =
        TSearchQuery(conn->Dialect(), TSearchPath::Indexed).Build(Options("xyz").ToRequest());
    const TSearchStatements hostile = TSearchQuery(conn->Dialect(), TSearchPath::Indexed)
                                          .Build(Options(R"("x'); drop table entries; --\")").ToRequest());
    EXPECT_EQ(hostile.entries.text, plain.entries.text);
    EXPECT_EQ(hostile.files.text, plain.files.text);
}

// The engine's plan for an indexed search reads the substring index, not
// every entry: on PostgreSQL the planner would otherwise price the scan of a
// large table below the trigram bitmaps.
TEST_P(SearchIndex, TheEnginePlansTheSearchThroughItsIndex)
{
    StoreMixedBase();
    const TSearchStatements built = TSearchQuery(conn->Dialect(), TSearchPath::Indexed)
                                        .Build(Options("report summary", (1 << TOptions::ContentFlagCount) - 1).ToRequest());
    ASSERT_TRUE(built.filesOfFoundEntries);
    const bool server = conn->Dialect().Engine() == TConnectionInfo::TEngine::PostgreSQL;
    conn->BeginReadTransaction();
    QSqlQuery query(conn->Database());
    for (const QString& setting : conn->Dialect().IndexedSearchSettingsSql())
        ASSERT_TRUE(query.exec(setting));
    // The server explains no prepared statement: the values, plain words
    // here, are written in.
    QString statement = built.entries.text;
    for (const QVariant& value : built.entries.params) {
        ASSERT_FALSE(value.toString().contains(u'\''));
        statement.replace(statement.indexOf(u'?'), 1, u'\'' + value.toString() + u'\'');
    }
    ASSERT_TRUE(query.exec((server ? QStringLiteral("explain ") : QStringLiteral("explain query plan ")) + statement))
        << query.lastError().text().toStdString();
    QStringList plan;
    while (query.next())
        plan << query.value(query.record().count() - 1).toString();
    conn->Commit();
    const QString text = plan.join(u'\n');
    if (server) {
        EXPECT_TRUE(text.contains("_trgm")) << text.toStdString();
        EXPECT_FALSE(text.contains(QRegularExpression("Seq Scan on entries( |$)"))) << text.toStdString();
    } else {
        EXPECT_TRUE(text.contains("entries_fts VIRTUAL TABLE")) << text.toStdString();
        EXPECT_FALSE(text.contains(QRegularExpression("SCAN entries( |$)"))) << text.toStdString();
    }
}

TESSARYN_INSTANTIATE_ENGINES(SearchIndex);

// --- a database of the previous version gets its index ----------------------

class SearchIndexUpgrade : public Search {
protected:
    void SetUp() override
    {
        Search::SetUp();
        if (!conn)
            return;
        // The database as the previous initializer made it, with entries.
        TSchemaBuilder(*conn).Create(true, Schema::BaseSchemaVersion());
        ASSERT_FALSE(conn->SearchIndexed());
        for (int i = 0; i < 12; ++i)
            Store({QStringLiteral("entry %1 Größe").arg(i), {QStringLiteral("file %1.txt").arg(i)}, QVariant(),
                   QDate(2006, 3, 1), i % 3 == 0 ? "ΣΤΡΑΤΗΓΙΚΉ" : "plain"});
    }

    QList<qint64> FoundCodes(const QString& keys)
    {
        search->RunSearch(Options(keys));
        QList<qint64> codes;
        for (search->cdsSearch.First(); !search->cdsSearch.Eof(); search->cdsSearch.Next())
            codes << search->cdsSearch.AsInteger("code");
        std::sort(codes.begin(), codes.end());
        return codes;
    }
};

TEST_P(SearchIndexUpgrade, AnInterruptedUpgradeLeavesTheScanAndACompletedOneTheIndexWithTheSameResults)
{
    const QList<qint64> before = FoundCodes("στρατηγική größe");
    ASSERT_EQ(before.size(), 4);

    TSchemaUpgrade upgrade(*conn);
    ASSERT_TRUE(upgrade.Needed());
    EXPECT_EQ(upgrade.DatabaseVersion(), Schema::BaseSchemaVersion());
    // Stopped after the first step of progress: nothing of it stays.
    int reports = 0;
    upgrade.Progress = [&](qint64, qint64) { return ++reports < 2; };
    EXPECT_THROW(upgrade.Run(), EAbort);
    EXPECT_EQ(conn->TransactionDepth(), 0);
    EXPECT_TRUE(upgrade.Needed());
    EXPECT_FALSE(conn->SearchIndexed());
    EXPECT_EQ(FoundCodes("στρατηγική größe"), before);

    qint64 lastDone = -1, lastTotal = -1;
    upgrade.Progress = [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        return true;
    };
    upgrade.Run();
    EXPECT_FALSE(upgrade.Needed());
    EXPECT_EQ(upgrade.DatabaseVersion(), Schema::SchemaVersion());
    EXPECT_EQ(lastTotal, 24);   // twelve entries and their twelve files
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_TRUE(conn->SearchIndexed());
    EXPECT_EQ(FoundCodes("στρατηγική größe"), before);

    // A new connection sees the index, and writes after the upgrade reach it.
    auto other = db->Connect();
    EXPECT_TRUE(other->SearchIndexed());
    const int added = Store({"added after ΣΤΡΑΤΗΓΙΚΉ", {}, QVariant(), QDate(2006, 3, 1), "Größe"});
    QList<qint64> after = before;
    after << added;
    EXPECT_EQ(FoundCodes("στρατηγική größe"), after);
}

TESSARYN_INSTANTIATE_ENGINES(SearchIndexUpgrade);

// --- statements without a database ------------------------------------------

TEST(SearchStatements, KeysTravelAsBoundValuesOnEveryEngine)
{
    for (const auto engine : {TEngine::SQLite, TEngine::PostgreSQL}) {
        const auto dialect = TEngineDialect::Create(engine);
        const auto build = [&](const QString& keys) {
            TOptions options;
            options.ContentFlags = kAllContent;
            options.AllCategories = false;
            options.CategoryCodes = {3, 4};
            options.DateRange = true;
            options.FromDate = QDate(2006, 3, 1);
            options.ToDate = QDate(2006, 3, 3);
            options.Keys = keys;
            return TSearchQuery(*dialect).Build(options.ToRequest());
        };
        const TSearchStatements plain = build("x");
        const TSearchStatements hostile = build(R"("x'); drop table entries; --\")");
        EXPECT_EQ(hostile.entries.text, plain.entries.text);
        EXPECT_EQ(hostile.files.text, plain.files.text);
        // six pattern values (five columns and the file name), then the two day bounds
        ASSERT_EQ(hostile.entries.params.size(), 8);
        EXPECT_EQ(hostile.entries.params[0].toString(), R"(%x'); drop table entries; --\%)");
        EXPECT_EQ(hostile.entries.params[6], dialect->DateTimeParam(QDateTime(QDate(2006, 3, 1), QTime(0, 0))));
        EXPECT_EQ(hostile.entries.params[7], dialect->DateTimeParam(QDateTime(QDate(2006, 3, 4), QTime(0, 0))));
        EXPECT_EQ(hostile.files.params, hostile.entries.params);
        EXPECT_TRUE(plain.entries.text.contains(dialect->LikeCondition("entries.title", "?")));
        EXPECT_TRUE(plain.entries.text.contains("categories.code in (3,4)"));
    }
}

TEST(SearchStatements, MalformedRequestsAreRefused)
{
    const auto dialect = TEngineDialect::Create(TEngine::SQLite);
    TOptions options;
    QVariantList request = options.ToRequest();
    request[srCategoryCodes] = "3) or (1=1";
    EXPECT_THROW(TSearchQuery(*dialect).Build(request), EDatabaseError);
    request.removeLast();
    EXPECT_THROW(TSearchQuery(*dialect).Build(request), EDatabaseError);
}

// --- the embedded engine's LIKE ---------------------------------------------

bool Like(const QString& pattern, const QString& text)
{
    const QByteArray p = pattern.toUtf8(), t = text.toUtf8();
    return SqlLikeMatch(p.constData(), int(p.size()), t.constData(), int(t.size()));
}

TEST(SqliteLike, SearchPatternsFoldEveryLetter)
{
    const QString kelvin = QString(QChar(0x212A)), longS = QString(QChar(0x017F));
    const QString longNeedle = QString(300, 'a') + "b";
    const QList<std::tuple<QString, QString, bool>> cases = {
        {"%abc%", "xxABCxx", true},          {"%abc%", "xxabxx", false},
        {"%k%", kelvin, true},               {"%kelvin%", "2 " + kelvin + "ELVIN", true},
        {"%s%", longS, true},                {"%ss%", "Stra" + longS + "se", true},
        {"%straße%", "GROẞE STRAẞE", true},  {"%σοφια%", "Η ΣΟΦΙΑ", true},
        {"%ΣΟΦΙΑ%", "η σοφια", true},        {"%é%", "CAFÉ", true},
        {"%e%", "CAFÉ", false},              {"%%", "", true},
        {"%x%", "", false},                  {"%abc", "xABC", true},
        {"a_c", "ABC", true},                {"%" + longNeedle + "%", QString(400, 'A') + "B", true},
        {"%" + longNeedle + "%", QString(400, 'a'), false},
        {"%end%", "the END", true},          {"%the%", "THE end", true},
    };
    for (const auto& [pattern, text, expected] : cases)
        EXPECT_EQ(Like(pattern, text), expected) << pattern.left(20).toStdString() << " / " << text.left(20).toStdString();
    // Invalid bytes stand for themselves and never hide a match next to them.
    EXPECT_TRUE(SqlLikeMatch("%abc%", 5, "\xC3(ABC", 5));
    EXPECT_FALSE(SqlLikeMatch("%abd%", 5, "\xC3(ABC", 5));
}

TEST(SqliteLike, ContainsAgreesWithFoldingEveryCodePoint)
{
    // Letters that fold in every way there is: ASCII, outside ASCII, onto
    // ASCII (the Kelvin sign, the long s), and onto other letters.
    const QList<char32_t> alphabet = {'a', 'A', 'b', 'k', 'K', 0x212A, 's', 'S', 0x017F, 0x03C3, 0x03A3,
                                      0x03C2, 0xE9, 0xC9, 0xDF, 0x1E9E, ' ', 'x'};
    std::mt19937 rng(7);
    const auto randomText = [&](int from, int to) {
        std::u32string text(std::uniform_int_distribution<int>(from, to)(rng), U' ');
        for (char32_t& c : text)
            c = alphabet[std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(rng)];
        return text;
    };
    const auto folded = [](std::u32string text) {
        for (char32_t& c : text)
            c = QChar::toCaseFolded(c);
        return text;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::u32string text = randomText(0, 12), needle = randomText(1, 4);
        const bool expected = folded(text).find(folded(needle)) != std::u32string::npos;
        const QString pattern = "%" + QString::fromUcs4(needle.data(), qsizetype(needle.size())) + "%";
        ASSERT_EQ(Like(pattern, QString::fromUcs4(text.data(), qsizetype(text.size()))), expected)
            << pattern.toStdString() << " in " << QString::fromUcs4(text.data(), qsizetype(text.size())).toStdString();
    }
}

// --- the options object -----------------------------------------------------

TEST(SearchOptions, CategoryCodesTextKeepsOnlyIntegers)
{
    TOptions options;
    options.SetCategoryCodesText(R"(5, x, 7,,-3 2.5 "9" 0x10 99999999999)");
    EXPECT_EQ(options.CategoryCodes, (QList<int>{5, 7, -3, 9}));
    EXPECT_EQ(options.GetCategoryCodesText(), "5,7,-3,9");
    options.SetCategoryCodesText("");
    EXPECT_TRUE(options.CategoryCodes.isEmpty());
    EXPECT_EQ(options.GetSearchCategoryCodes(), "");
}

TEST(SearchOptions, SubcategoriesFollowTheTreeDepthFirstEachOnce)
{
    // 5 has the children 8 and 9; 9 has the child 12.
    const QMap<int, QList<int>> descendants = {{5, {8, 9, 12}}, {9, {12}}, {8, {}}, {12, {}}};
    TOptions options;
    options.CategoryCodes = {5};
    EXPECT_EQ(options.GetSearchCategoryCodes(), "5");
    options.IncludeSubcategories = true;
    EXPECT_EQ(options.GetSearchCategoryCodes(), "5");   // no tree installed: the listed codes
    options.DescendantCodes = [&](int code) { return descendants.value(code); };
    EXPECT_EQ(options.GetSearchCategoryCodes(), "5,8,9,12");
    options.CategoryCodes = {9, 5};
    EXPECT_EQ(options.GetSearchCategoryCodes(), "9,12,5,8");
    options.IncludeSubcategories = false;
    EXPECT_EQ(options.GetSearchCategoryCodes(), "9,5");
}

TEST(SearchOptions, ContentFlagsAssignAndTheRequest)
{
    TOptions options;
    EXPECT_EQ(options.ContentFlags, 0b000111);
    options.SetContentFlag(4, true);
    options.SetContentFlag(0, false);
    options.SetContentFlag(6, true);
    options.SetContentFlag(-1, true);
    EXPECT_EQ(options.ContentFlags, 0b010110);
    EXPECT_FALSE(options.GetContentFlag(6));
    EXPECT_TRUE(options.GetContentFlag(4));

    options.CustomSelect = "S";
    options.CustomFrom = "F";
    options.CustomWhere = "W";
    options.CustomOrder = "O";
    options.Keys = "k";
    options.Operator = TOptions::OperatorAny;
    options.CategoryCodes = {5};
    options.IncludeSubcategories = true;
    options.DescendantCodes = [](int) { return QList<int>{8}; };
    options.DateRange = true;
    options.FromDate = QDate(2006, 3, 1);
    options.ToDate = QDate(2006, 3, 3);

    TOptions copy;
    copy.Assign(options);
    const QVariantList request = copy.ToRequest();
    ASSERT_EQ(request.size(), 18);
    const QVariantList expected = {"S", "F", "W", "O", "k", 1, "5,8", true, false,
                                   false, true, true, false, true, false, true,
                                   QDate(2006, 3, 1), QDate(2006, 3, 3)};
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(request[i].toString(), expected[i].toString()) << i;
}

// A settings store in memory: the values by section and name.
class MemorySettings : public ISettingsManager {
public:
    QMap<QString, QMap<QString, QVariant>> sections;

    QString GetKeyPrefix() const override { return {}; }
    void SetKeyPrefix(const QString&) override {}
    QString GetCurrentSection() const override { return m_current; }
    bool SelectSection(const QString& section) override { m_current = section; return true; }
    bool ReadObjectState(QObject*, const QString&) override { return false; }
    bool ReadBool(const QString& name, bool d, const QString& s) override { return Read(name, s, d).toBool(); }
    QDate ReadDate(const QString& name, const QString& s, const QDate& d) override { return Read(name, s, d).toDate(); }
    QDateTime ReadDateTime(const QString& name, const QString& s, const QDateTime& d) override
    {
        return Read(name, s, d).toDateTime();
    }
    double ReadFloat(const QString& name, const QString& s, double d) override { return Read(name, s, d).toDouble(); }
    int ReadInteger(const QString& name, int d, const QString& s) override { return Read(name, s, d).toInt(); }
    QString ReadString(const QString& name, const QString& d, const QString& s) override
    {
        return Read(name, s, d).toString();
    }
    bool ReadStrings(QStringList&, const QString&) override { return false; }
    QTime ReadTime(const QString& name, const QString& s, const QTime& d) override { return Read(name, s, d).toTime(); }
    void WriteObjectState(QObject*, const QString&) override {}
    void WriteBool(const QString& name, bool v, const QString& s) override { Write(name, s, v); }
    void WriteDate(const QString& name, const QString& s, const QDate& v) override { Write(name, s, v); }
    void WriteDateTime(const QString& name, const QString& s, const QDateTime& v) override { Write(name, s, v); }
    void WriteFloat(const QString& name, const QString& s, double v) override { Write(name, s, v); }
    void WriteInteger(const QString& name, int v, const QString& s) override { Write(name, s, v); }
    void WriteString(const QString& name, const QString& v, const QString& s) override { Write(name, s, v); }
    void WriteStrings(const QStringList&, const QString&) override {}
    void WriteTime(const QString& name, const QString& s, const QTime& v) override { Write(name, s, v); }
    void UseAllUsersAllComputers() override {}
    void UseAllUsersThisComputer() override {}
    void UseUserAllComputers() override {}
    void UseUserThisComputer() override {}
    void EraseSection(const QString& section) override { sections.remove(section); }
    QString GetControlKey(const QObject*) override { return {}; }
    void ReadSectionNames(QStringList& names) override { names = sections.keys(); }
    int ReadSection(QStringList&, QStringList*, const QString&) override { return 0; }
    int WriteSection(const QStringList&, const QStringList*, const QString&) override { return 0; }
    bool ValueExists(const QString& name) override { return sections.value(m_current).contains(name); }
    void BeginAccess() override {}
    void EndAccess() override {}
    void Flush() override {}

private:
    QVariant Read(const QString& name, const QString& section, const QVariant& d) const
    {
        return sections.value(Section(section)).value(name, d);
    }
    void Write(const QString& name, const QString& section, const QVariant& v) { sections[Section(section)][name] = v; }
    QString Section(const QString& section) const { return section == "*" ? m_current : section; }
    QString m_current;
};

TEST(SearchOptions, SettingsDefaultsAndRoundTrip)
{
    MemorySettings store;
    TOptions loaded;
    loaded.LoadFromSettings(store);
    EXPECT_TRUE(loaded.AllCategories);
    EXPECT_TRUE(loaded.IncludeSubcategories);
    EXPECT_TRUE(loaded.CategoryCodes.isEmpty());
    EXPECT_EQ(loaded.ContentFlags, 0b101111);   // all but the source
    EXPECT_FALSE(loaded.DateRange);
    EXPECT_EQ(loaded.FromDate, QDate(1950, 1, 1));
    EXPECT_EQ(loaded.ToDate, QDate(2078, 12, 31));

    TOptions saved;
    saved.AllCategories = false;
    saved.CategoryCodes = {4, 12};
    saved.IncludeSubcategories = false;
    saved.ContentFlags = 0b010001;
    saved.DateRange = true;
    saved.FromDate = QDate(2006, 3, 1);
    saved.ToDate = QDate(2006, 3, 3);
    saved.Keys = "not kept";
    saved.SaveToSettings(store);
    ASSERT_EQ(store.sections.keys(), QStringList{R"(Settings\Search options)"});
    const auto& values = store.sections.first();
    EXPECT_EQ(values.keys(), (QStringList{"Category filter list", "Include subcategories", "Search all categories",
                                          "Search from date", "Search in category names", "Search in comments",
                                          "Search in date range", "Search in file names", "Search in keywords",
                                          "Search in source", "Search in titles", "Search to date"}));
    EXPECT_EQ(values.value("Category filter list").toString(), "4,12");
    EXPECT_EQ(values.value("Search in source").toBool(), true);

    TOptions again;
    again.LoadFromSettings(store);
    QVariantList expected = saved.ToRequest();
    expected[srKeys] = QString();
    EXPECT_EQ(again.ToRequest(), expected);

    store.sections.first()["Category filter list"] = "3,abc,,4";
    again.LoadFromSettings(store);
    EXPECT_EQ(again.CategoryCodes, (QList<int>{3, 4}));
}

} // namespace
