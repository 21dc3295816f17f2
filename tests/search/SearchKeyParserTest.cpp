#include "search/SearchKeyParser.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <set>
#include <stdexcept>

// Readable failure messages: texts as UTF-8 in quotes.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString TwoFields = QStringLiteral("entries.title,entries.keywords");

TEST(SearchKeyParserTest, SplitsKeysAtBlanksCommasAndQuotes)
{
    const std::vector<std::pair<QString, QStringList>> cases = {
        {"", {}},
        {" \t\r\n ", {}},
        {"a,b", {"a", "b"}},
        {"a b", {"a", "b"}},
        {"\"a\" \"b\"", {"a", "b"}},
        {"  a ,  b  ", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {",", {"", ""}},
        {"a, ", {"a"}},                                   // the comma is not the last character
        {"\"two words\" x", {"two words", "x"}},
        {"\"rest of the text, unclosed", {"rest of the text, unclosed"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\" padded \"", {"padded"}},
        {"\"\"", {""}},
        {"a\"b", {"a\"b"}},                               // a quote inside a bare key is plain text
        {"\"ab\"cd", {"ab", "cd"}},
        {QString("x") + QChar(0) + "y", {"x", "y"}},
        {"αβγ,Straße Юникод", {"αβγ", "Straße", "Юникод"}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SplitSearchKeys(text), expected) << text.toStdString();
}

struct ParseCase {
    QString keys;
    QString fields;
    int op;
    int result;
    QString condition;
};

TEST(SearchKeyParserTest, BuildsTheConditionOrFails)
{
    const QString alphaTwoWords7 =
        "( ( (entries.title like '%alpha%')  or  (entries.keywords like '%alpha%') )  and  "
        "( (entries.title like '%two words%')  or  (entries.keywords like '%two words%') )  and  "
        "(entries.code = 7) )";
    const std::vector<ParseCase> cases = {
        {"alpha \"two words\" #7", TwoFields, 0, 0, alphaTwoWords7},
        {"", TwoFields, 0, 0, ""},
        {"   ", TwoFields, 0, 0, ""},
        {"abc #7", "", 0, 0, ""},
        {"abc #x", "  ", 0, 0, ""},
        {"abc", " , ", 0, 0, ""},
        {"#x", TwoFields, 0, 2, ""},
        {"#12a", TwoFields, 0, 2, ""},
        {"abc #x", TwoFields, 0, 2, ""},
        {"#+", "t", 0, 2, ""},
        {"#-", "t", 0, 2, ""},
        {"\"# 7\"", "t", 0, 2, ""},
        {"#0x1F", "t", 0, 2, ""},
        {"#٣", "t", 0, 2, ""},                              // not an ASCII digit
        {"#2147483648", "t", 0, 2, ""},
        {"#-2147483649", "t", 0, 2, ""},
        {"#99999999999999999999", "t", 0, 2, ""},
        {"#12", "t", 0, 0, "( (entries.code = 12) )"},
        {"#007", "t", 0, 0, "( (entries.code = 007) )"},  // digits as typed
        {"#+12", "t", 0, 0, "( (entries.code = +12) )"},
        {"#-2147483648", "t", 0, 0, "( (entries.code = -2147483648) )"},
        {"#2147483647", "t", 0, 0, "( (entries.code = 2147483647) )"},
        {"#", "t", 0, 0, "( ( (t like '%#%') ) )"},
        {"##", "t", 0, 0, "( ( (t like '%#%') ) )"},
        {"##12", "t", 0, 0, "( ( (t like '%#12%') ) )"},
        {"###", "t", 0, 0, "( ( (t like '%##%') ) )"},
        {"50%", "t", 0, 0, "( ( (t like '%50%%') ) )"},
        {"a_b", "t", 0, 0, "( ( (t like '%a_b%') ) )"},
        {"a*b", "t", 0, 0, "( ( (t like '%a*b%') ) )"},
        {"O'Neil", "t", 0, 0, "( ( (t like '%O''Neil%') ) )"},
        {"a,,b", "t", 0, 0, "( ( (t like '%a%') )  and  ( (t like '%%') )  and  ( (t like '%b%') ) )"},
        {"a b", "t", 1, 0, "( ( (t like '%a%') )  or  ( (t like '%b%') ) )"},
        {"a b", "t", 7, 0, "( ( (t like '%a%') )  and  ( (t like '%b%') ) )"},
        {"a", " t , u ", 0, 0, "( ( (t like '%a%')  or  (u like '%a%') ) )"},
    };
    for (const ParseCase& c : cases) {
        TSearchKeyParser parser;
        parser.Keys = c.keys;
        parser.SetFields(c.fields);
        parser.Operator = c.op;
        parser.CodeField = "entries.code";
        QString condition = "stale";
        const int result = parser.Parse(condition);
        EXPECT_EQ(result, c.result) << c.keys.toStdString() << " | " << c.fields.toStdString();
        if (c.result == 0) {
            EXPECT_EQ(condition, c.condition) << c.keys.toStdString() << " | " << c.fields.toStdString();
        }
    }
}

TEST(SearchKeyParserTest, FieldsAreStoredTrimmed)
{
    TSearchKeyParser parser;
    parser.SetFields("  entries.title,entries.keywords \t");
    EXPECT_EQ(parser.Fields(), TwoFields);
}

TEST(SearchKeyParserTest, OperandHookAndLikeOperatorShapeTheTextConditions)
{
    TSearchKeyParser parser;
    parser.Keys = "abc #5";
    parser.SetFields(TwoFields);
    parser.CodeField = "entries.code";
    parser.LikeOperator = "ilike";
    QStringList patterns;
    int next = 0;
    parser.PatternOperand = [&](const QString& pattern) {
        patterns << pattern;
        return QStringLiteral(":p%1").arg(next++);
    };
    QString condition;
    ASSERT_EQ(parser.Parse(condition), 0);
    EXPECT_EQ(condition, "( ( (entries.title ilike :p0)  or  (entries.keywords ilike :p1) )  and  "
                         "(entries.code = 5) )");
    EXPECT_EQ(patterns, QStringList({"%abc%", "%abc%"}));

    parser.PatternOperand = [](const QString&) -> QString { throw std::runtime_error("no binding"); };
    EXPECT_EQ(parser.Parse(condition), 2);
}

// Typed into the search box as one quoted key each, so blanks and quotes stay
// part of the key.
QString QuotedForSearchBox(const QString& key)
{
    QString doubled = key;
    doubled.replace('"', "\"\"");
    return '"' + doubled + '"';
}

// Hostile keys must only ever be searched for, never change the statement: run
// every condition on a real table and compare the rows found with the rows
// whose texts contain the key.
TEST(SearchKeyParserTest, KeysWithQuotesAndCommentsCannotChangeTheStatement)
{
    const QStringList titles = {
        "O'Neil report", "it''s doubled", "x') or 1=1 -- tail", "say \"hi\"", "semi;colon",
        "back\\slash'", "plain text", "'); delete from entries; --", "') or ('1'='1 inside",
    };
    const QStringList keys = {
        "O'Neil", "'", "''", "x') or 1=1 --", "\"hi\"", ";", "--", "\\slash'", "'); delete from entries; --",
        "') or ('1'='1",
    };

    const QString connectionName = "SearchKeyParserTest";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connectionName);
        db.setDatabaseName(":memory:");
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery setup(db);
        ASSERT_TRUE(setup.exec("create table entries (code integer primary key, title text, keywords text)"));
        for (int i = 0; i < titles.size(); ++i) {
            ASSERT_TRUE(setup.prepare("insert into entries (code, title, keywords) values (?, ?, ?)"));
            setup.addBindValue(i + 1);
            setup.addBindValue(titles[i]);
            setup.addBindValue(QVariant());
            ASSERT_TRUE(setup.exec());
        }

        for (const QString& key : keys) {
            std::set<int> expected;
            for (int i = 0; i < titles.size(); ++i)
                if (titles[i].contains(key))
                    expected.insert(i + 1);
            ASSERT_FALSE(expected.empty()) << key.toStdString();

            for (const bool bound : {false, true}) {
                SCOPED_TRACE(key.toStdString() + (bound ? " (bound)" : " (literal)"));
                TSearchKeyParser parser;
                parser.Keys = QuotedForSearchBox(key);
                parser.SetFields(TwoFields);
                QStringList patterns;
                if (bound)
                    parser.PatternOperand = [&](const QString& pattern) {
                        patterns << pattern;
                        return QStringLiteral("?");
                    };
                QString condition;
                ASSERT_EQ(parser.Parse(condition), 0);

                QSqlQuery query(db);
                ASSERT_TRUE(query.prepare("select code from entries where " + condition))
                    << condition.toStdString() << ": " << query.lastError().text().toStdString();
                for (const QString& pattern : patterns) {
                    EXPECT_EQ(pattern, QString('%' + key + '%'));
                    query.addBindValue(pattern);
                }
                EXPECT_EQ(patterns.size(), bound ? 2 : 0);
                ASSERT_TRUE(query.exec()) << condition.toStdString() << ": "
                                          << query.lastError().text().toStdString();
                std::set<int> found;
                while (query.next())
                    found.insert(query.value(0).toInt());
                EXPECT_EQ(found, expected) << condition.toStdString();
            }
        }
        QSqlQuery count("select count(*) from entries", db);
        ASSERT_TRUE(count.next());
        EXPECT_EQ(count.value(0).toInt(), titles.size());
    }
    QSqlDatabase::removeDatabase(connectionName);
}

} // namespace
