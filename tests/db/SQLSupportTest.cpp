#include "app/Errors.h"
#include "db/SQLSupport.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <functional>
#include <limits>

// Readable failure messages: texts as UTF-8 in quotes.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

struct DialectCase {
    const char* what;
    std::function<QString(const ISQLAssistant&)> call;
    QString base;
    QString server;
};

const QDateTime SampleDateTime(QDate(2006, 1, 2), QTime(14, 5, 9, 7));

TEST(SQLSupportTest, DialectsWriteTheirOwnPieces)
{
    const std::vector<DialectCase> cases = {
        {"date end of year", [](auto& a) { return a.FormatDate(QDate(2006, 12, 31)); }, "12/31/2006", "12/31/2006"},
        {"date no leading zeros", [](auto& a) { return a.FormatDate(QDate(2007, 1, 1)); }, "1/1/2007", "1/1/2007"},
        {"date month before day", [](auto& a) { return a.FormatDate(QDate(2006, 3, 5)); }, "3/5/2006", "3/5/2006"},
        {"date-time", [](auto& a) { return a.FormatDateTime(SampleDateTime); },
         "01/02/2006 14:05:09", "2006/01/02 14:05:09.007"},
        {"date-time small year", [](auto& a) { return a.FormatDateTime(QDateTime(QDate(987, 11, 30), QTime(0, 0))); },
         "11/30/0987 00:00:00", "0987/11/30 00:00:00.000"},
        {"descending", [](auto& a) { return a.DescendingKeyword(); }, "desc", "desc"},
        {"count", [](auto& a) { return a.CountExpression(); }, " count(*) ", " count(*) "},
        {"case folding", [](auto& a) { return a.CaseInsensitive("entries.title"); },
         "lower(entries.title) ", "entries.title"},
        {"qualified column", [](auto& a) { return a.ColumnName("entries.title"); }, "entries.title", "[entries].[title]"},
        {"bare column", [](auto& a) { return a.ColumnName("title"); }, "title", "[title]"},
        {"split at first dot", [](auto& a) { return a.ColumnName("db.entries.title"); },
         "db.entries.title", "[db].[entries.title]"},
        {"qualified name", [](auto& a) { return a.QualifiedName("entries", "code"); }, "entries.code", "[entries].[code]"},
        {"bracket inside a name", [](auto& a) { return a.ColumnName("odd]name"); }, "odd]name", "[odd]]name]"},
        {"quote plain", [](auto& a) { return a.QuoteString("abc"); }, "'abc'", "'abc'"},
        {"quote empty", [](auto& a) { return a.QuoteString(""); }, "''", "''"},
        {"quote apostrophe", [](auto& a) { return a.QuoteString("O'Neil"); }, "'O''Neil'", "'O''Neil'"},
        {"quote hostile", [](auto& a) { return a.QuoteString("x'; drop table entries; --"); },
         "'x''; drop table entries; --'", "'x''; drop table entries; --'"},
        {"quote only quotes", [](auto& a) { return a.QuoteString("''"); }, "''''''", "''''''"},
        {"join", [](auto& a) { return a.JoinClause("select * from entries", "entries", jkLeft, "code", "categories", "category"); },
         "", "select * from entries left join categories on [entries].[category] = [categories].[code]"},
        {"inner join", [](auto& a) { return a.JoinClause("", "entries", jkInner, "entry", "entryfiles", "code"); },
         "", " inner join entryfiles on [entries].[code] = [entryfiles].[entry]"},
    };
    const ISQLAssistantPtr base = std::make_shared<TSQLAssistant>();
    const ISQLAssistantPtr server = std::make_shared<TSQLServerSQLAssistant>();
    for (const DialectCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(*base), c.base);
        EXPECT_EQ(c.call(*server), c.server);
    }
}

TEST(SQLSupportTest, JoinKindsWriteTheirKeywords)
{
    const std::vector<std::pair<TJoinKind, QString>> kinds = {
        {jkLeft, " left join "},       {jkRight, " right join "}, {jkLeftOuter, " left outer join "},
        {jkRightOuter, " right outer join "}, {jkInner, " inner join "}, {jkLeftAlternate, " left join "},
        {jkRightAlternate, " right join "},
    };
    TSQLServerSQLAssistant server;
    for (const auto& [kind, keyword] : kinds)
        EXPECT_EQ(server.JoinClause("L", "a", kind, "rc", "b", "lc"), QString("L" + keyword + "b on [a].[lc] = [b].[rc]"))
            << "kind " << int(kind);
    EXPECT_THROW(server.JoinClause("L", "a", static_cast<TJoinKind>(7), "rc", "b", "lc"), ETessarynError);
}

TEST(SQLSupportTest, ComparisonTemplatesAndDescriptions)
{
    struct Row {
        int kind;
        QString filledWithAbc;
        QString description;
    };
    const std::vector<Row> rows = {
        {0, " = abc", "is"},
        {1, " <> abc", "is not"},
        {2, " > abc", "is greater than"},
        {3, " >= abc", "is greater or equal to"},
        {4, " < abc", "is less than"},
        {5, " <= abc", "is less or equal to"},
        {6, " like 'abc%'", "begins with"},
        {7, " not like 'abc%'", "does not begin with"},
        {8, " like '%abc'", "ends with"},
        {9, " not like '%abc'", "does not end with"},
        {10, " like '%abc%'", "contains"},
        {11, " not like '%abc%'", "does not contain"},
        {12, " is null ", "is null"},
        {13, " is not null ", "is not null"},
        {14, " is not null ", "is not null"},
        {-1, " is not null ", "is not null"},
    };
    TSQLAssistant assistant;
    for (const Row& row : rows) {
        const auto kind = static_cast<TComparisonKind>(row.kind);
        EXPECT_EQ(FormatSQLTemplate(assistant.ComparisonTemplate(kind), {"abc"}), row.filledWithAbc) << row.kind;
        EXPECT_EQ(ComparisonDescription(kind), row.description) << row.kind;
    }
    EXPECT_EQ(ConnectiveWords[0], std::string_view("and"));
    EXPECT_EQ(ConnectiveWords[1], std::string_view("or"));
}

TEST(SQLSupportTest, TranslateWildcardsOnlyTouchesStarAndQuestionMark)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"a*b?c", "a%b_c"}, {"**??", "%%__"}, {"50%_x", "50%_x"}, {"", ""}, {"äö*ü", "äö%ü"},
    };
    TSQLServerSQLAssistant assistant;
    for (auto [text, expected] : cases) {
        assistant.TranslateWildcards(text);
        EXPECT_EQ(text, expected);
    }
}

class SQLSupportGermanLocaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ASSERT_EQ(QLocale().decimalPoint(), ",");
    }
    void TearDown() override { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

TEST_F(SQLSupportGermanLocaleTest, FormatFloatWritesPointAndRoundsLikeFixedNotation)
{
    struct Case {
        double value;
        int precision;
        int digits;
        QString expected;
    };
    const std::vector<Case> cases = {
        {1234.5678, 15, 2, "1234.57"},
        {1234567.5, 15, 1, "1234567.5"},
        {0.5, 15, 0, "1"},
        {2.5, 15, 0, "3"},
        {-2.25, 15, 1, "-2.3"},
        {123.456, 4, 2, "123.50"},           // precision rounds first, digits pad
        {0.1 + 0.2, 15, 17, "0.30000000000000000"},
        {0.006, 15, 2, "0.01"},
        {0.004, 15, 2, "0.00"},
        {-0.004, 15, 2, "0.00"},
        {0.0, 15, 3, "0.000"},
        {9.999, 15, 2, "10.00"},
        {99.96, 3, 1, "100.0"},
        {1e20, 15, 2, "1E20"},                // more integer digits than precision
        {-1.5e20, 15, 2, "-1.5E20"},
        {1e-7, 15, 2, "0.00"},
    };
    const ISQLAssistantPtr assistant = std::make_shared<TSQLServerSQLAssistant>();
    for (const Case& c : cases)
        EXPECT_EQ(assistant->FormatFloat(c.value, c.precision, c.digits), c.expected)
            << c.value << " " << c.precision << " " << c.digits;
}

TEST(SQLSupportTest, ValuesWithoutALiteralAreRefused)
{
    TSQLAssistant assistant;
    EXPECT_THROW(assistant.FormatFloat(std::numeric_limits<double>::quiet_NaN(), 15, 2), EConvertError);
    EXPECT_THROW(assistant.FormatFloat(INFINITY, 15, 2), EConvertError);
    EXPECT_THROW(assistant.FormatDate(QDate()), EConvertError);
    EXPECT_THROW(TSQLServerSQLAssistant().FormatDateTime(QDateTime()), EConvertError);
}

} // namespace
