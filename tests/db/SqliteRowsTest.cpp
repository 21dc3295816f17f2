#include "app/Errors.h"
#include "db/Schema.h"
#include "db/SqliteRows.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

namespace {

// What reading through the driver gives: its field types mapped to the
// packet's, known columns typed by the schema, every value normalised.
DataPacket ThroughDriver(QSqlDatabase& db, const TSqlStatement& statement)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    EXPECT_TRUE(query.prepare(statement.text)) << query.lastError().text().toStdString();
    for (const QVariant& value : statement.params)
        query.addBindValue(value);
    EXPECT_TRUE(query.exec()) << query.lastError().text().toStdString();
    DataPacket packet;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) {
        TFieldType type = TFieldType::Text;
        switch (record.field(i).metaType().id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            type = TFieldType::Integer;
            break;
        case QMetaType::Double:
            type = TFieldType::Float;
            break;
        case QMetaType::QByteArray:
            type = TFieldType::Blob;
            break;
        case QMetaType::Bool:
            type = TFieldType::Boolean;
            break;
        default:
            break;
        }
        packet.fields.append({record.fieldName(i), Schema::ColumnType(record.fieldName(i), type)});
    }
    while (query.next()) {
        QList<QVariant> row;
        for (int i = 0; i < packet.fields.size(); ++i)
            row.append(NormalizeValue(query.value(i), packet.fields[i].type));
        packet.rows.append(row);
    }
    return packet;
}

class SqliteRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sqlite-rows"));
        m_db.setDatabaseName(m_folder.filePath(QStringLiteral("rows.db")));
        ASSERT_TRUE(m_db.open());
        QSqlQuery q(m_db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "create table entries (code integer primary key, Title varchar(200), FileSize integer, Weight real, "
            "Items blob, DateCreated timestamp, PasswordProtected boolean, Comments text, Mixed)")));
        ASSERT_TRUE(q.prepare(QStringLiteral("insert into entries values (?, ?, ?, ?, ?, ?, ?, ?, ?)")));
        const QList<QVariantList> rows = {
            {1, QStringLiteral("Ωμέγα Straße 🎉 O'Neil"), 5000000000LL, 1.5, QByteArray("\0\1\2zip", 6),
             QStringLiteral("2006-01-02 14:05:09"), 1, QStringLiteral("x"), 42},
            {2, QString(), QVariant(), QVariant(), QVariant(), QVariant(), 0, QStringLiteral(""), QStringLiteral("text")},
            {3, QStringLiteral("  spaced  "), -7, -0.25, QByteArray(""), QStringLiteral("2024-02-29T23:59:59.123"),
             QVariant(), QStringLiteral("line\r\nbreak"), 2.75},
        };
        for (const QVariantList& row : rows) {
            for (const QVariant& value : row)
                q.addBindValue(value);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
    }
    void TearDown() override
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("sqlite-rows"));
    }

    QTemporaryDir m_folder;
    QSqlDatabase m_db;
};

TEST_F(SqliteRowsTest, ReadsTheSameFieldsTypesAndValuesAsTheDriver)
{
    const std::vector<TSqlStatement> statements = {
        {QStringLiteral("select * from entries order by code"), {}},
        {QStringLiteral("select code as \"code\", -code as \"ReverseCreationOrder\", Weight * 2 as doubled, "
                        "Mixed, null as empty, upper(Title) as loud from entries order by code desc"),
         {}},
        {QStringLiteral("select code, Title from entries where Title = ? or code = ? or Weight < ? or Items = ? "
                        "or Comments = ?"),
         {QStringLiteral("Ωμέγα Straße 🎉 O'Neil"), 2, -0.1, QByteArray("\0\1\2zip", 6), QString()}},
        {QStringLiteral("select code, Title from entries where PasswordProtected = ? and FileSize > ?"), {true, 10LL}},
        {QStringLiteral("select * from entries where code < 0"), {}},
        {QStringLiteral("select count(*) as Entrycount, max(Weight) from entries;  "), {}},
    };
    for (const TSqlStatement& statement : statements) {
        SCOPED_TRACE(statement.text.toStdString());
        const DataPacket expected = ThroughDriver(m_db, statement);
        const std::optional<DataPacket> read = ReadSqliteRows(m_db, statement);
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->fields.size(), expected.fields.size());
        for (int i = 0; i < expected.fields.size(); ++i) {
            EXPECT_EQ(read->fields[i].name, expected.fields[i].name);
            EXPECT_EQ(int(read->fields[i].type), int(expected.fields[i].type)) << expected.fields[i].name.toStdString();
        }
        ASSERT_EQ(read->rows.size(), expected.rows.size());
        for (int r = 0; r < expected.rows.size(); ++r)
            for (int i = 0; i < expected.fields.size(); ++i) {
                const QVariant& want = expected.rows[r][i];
                const QVariant& got = read->rows[r][i];
                SCOPED_TRACE(QStringLiteral("row %1 column %2").arg(r).arg(expected.fields[i].name).toStdString());
                EXPECT_EQ(got.typeId(), want.typeId());
                EXPECT_EQ(got.isNull(), want.isNull());
                if (want.typeId() == QMetaType::QString)   // an empty text is no null
                    EXPECT_EQ(got.toString().isNull(), want.toString().isNull());
                EXPECT_EQ(got, want) << got.toString().toStdString() << " / " << want.toString().toStdString();
            }
    }
}

TEST_F(SqliteRowsTest, FailuresSayWhyAndOtherParametersAreLeftToTheDriver)
{
    EXPECT_THROW(ReadSqliteRows(m_db, {QStringLiteral("select * from nowhere"), {}}), EDatabaseError);
    try {
        ReadSqliteRows(m_db, {QStringLiteral("select code frm entries"), {}});
        ADD_FAILURE() << "a syntax error was read";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("syntax error"))) << e.Message().toStdString();
    }
    EXPECT_THROW(ReadSqliteRows(m_db, {QStringLiteral("  -- nothing"), {}}), EDatabaseError);
    // A second statement is refused, not run: the table stays.
    EXPECT_THROW(ReadSqliteRows(m_db, {QStringLiteral("select 1; drop table entries"), {}}), EDatabaseError);
    QSqlQuery q(m_db);
    ASSERT_TRUE(q.exec(QStringLiteral("select count(*) from entries")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 3);
    // Too few values for the statement's parameters bind nulls, as the driver
    // does; a date the driver formats itself is left to it.
    EXPECT_EQ(ReadSqliteRows(m_db, {QStringLiteral("select ? is null"), {}})->rows.at(0).at(0).toInt(), 1);
    EXPECT_FALSE(ReadSqliteRows(m_db, {QStringLiteral("select ?"), {QDate(2006, 1, 2)}}).has_value());
}

} // namespace
