#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "db/DatabaseMaintenance.h"
#include "db/Schema.h"
#include "db/SchemaBuilder.h"
#include "db/SchemaUpgrade.h"
#include "db/dmConnection.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/file.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Statistics, compaction, backup and restore on a real database of each
// engine, with real files (and pg_dump / pg_restore on the server).
class DatabaseMaintenanceTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        folder = TestEnv::ScratchFolder() + "/backups/";
        ASSERT_TRUE(QDir().mkpath(folder));
        conn->ReserveNextRecIDs("categories", 100);
        Exec("insert into categories (code, parent, name) values (1, 0, 'Notes'), (2, 1, 'Travel')");
        for (int code : {1, 2, 3})
            InsertEntry(code, QString("Entry %1 \u03b1\u03b2\u03b3").arg(code), QByteArray(5000 * code, char('a' + code)));
        Exec("insert into bookmarks (bookmarkset, entry, ordering) values (1, 2, 1)");
    }

    void Exec(const QString& sql)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    void InsertEntry(int code, const QString& title, const QByteArray& items)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.prepare("insert into entries (code, category, Title, PasswordProtected, Items) values (?, 1, ?, "
                              "0, ?)"));
        q.addBindValue(code);
        q.addBindValue(title);
        q.addBindValue(items);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }
    // Every row of every table, blobs included, in a stable order.
    QStringList Snapshot()
    {
        QStringList rows;
        for (const char* table : {"entries", "entryfiles", "categories", "bookmarkSets", "bookmarks", "settings",
                                  "MRULists", "MRUListItems", "reccounters", "tessaryn_info"}) {
            QSqlQuery q(conn->Database());
            EXPECT_TRUE(q.exec(QString("select * from %1").arg(table))) << table;
            while (q.next()) {
                QStringList values;
                for (int i = 0; i < q.record().count(); ++i) {
                    const QVariant v = q.value(i);
                    // blobs by their digest: every byte counts, the output stays short
                    values << (v.typeId() == QMetaType::QByteArray
                                   ? QString::fromLatin1(
                                         QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha256).toHex())
                                   : v.toString());
                }
                rows << QString(table) + ":" + values.join('|');
            }
        }
        rows.sort();
        return rows;
    }
    QString Backup()
    {
        TDatabaseMaintenance maintenance(*conn);
        const QString file = TDatabaseMaintenance::BackupFileName(folder, QDateTime::currentDateTime());
        maintenance.BackupDatabase(file);
        return file;
    }
    QStringList Files() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
    QString ExpectRefused(const QString& file)
    {
        TDatabaseMaintenance maintenance(*conn);
        try {
            maintenance.RestoreDatabase(file);
        } catch (const EDatabaseError& e) {
            return e.Message();
        }
        ADD_FAILURE() << "restored from " << file.toStdString();
        return {};
    }

    // A backup of another database of this engine, made at a schema
    // version, with statements run on it first.
    QString BackupOfOther(const QStringList& statements, int version = Schema::SchemaVersion())
    {
        const std::unique_ptr<TestDatabase> other = TestDatabase::Create(GetParam());
        const std::unique_ptr<TdmConnection> otherConn = other->Connect();
        if (version != Schema::SchemaVersion())
            TSchemaBuilder(*otherConn).Create(true, version);
        for (const QString& sql : statements) {
            QSqlQuery q(otherConn->Database());
            EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        }
        TDatabaseMaintenance maintenance(*otherConn);
        const QString file = TDatabaseMaintenance::BackupFileName(folder, QDateTime::currentDateTime());
        maintenance.BackupDatabase(file);
        return file;
    }
    // The database still works: an entry is saved and read back.
    void ExpectWorking()
    {
        EXPECT_TRUE(conn->Connected());
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec("select coalesce(max(code), 0) + 1 from entries") && q.next());
        const int code = q.value(0).toInt();
        EXPECT_TRUE(q.exec(QString("insert into entries (code, category, Title, PasswordProtected) values (%1, 1, "
                                   "'still working', 0)")
                               .arg(code)))
            << q.lastError().text().toStdString();
        EXPECT_TRUE(q.exec(QString("select Title from entries where code = %1").arg(code)) && q.next());
        EXPECT_EQ(q.value(0).toString(), "still working");
        EXPECT_TRUE(q.exec(QString("delete from entries where code = %1").arg(code)));
    }

    QString folder;
};

TEST_P(DatabaseMaintenanceTest, StatisticsCountEntriesCategoriesAndSets)
{
    TDatabaseMaintenance maintenance(*conn);
    const TDatabaseStatistics counts = maintenance.GetDatabaseStatistics();
    EXPECT_EQ(counts.entries, 3);
    EXPECT_EQ(counts.categories, 2);
    EXPECT_EQ(counts.bookmarkSets, 1);
}

TEST_P(DatabaseMaintenanceTest, CompactionKeepsEveryRow)
{
    const QStringList before = Snapshot();
    Exec("delete from entries where code = 3");
    const QStringList withoutThird = Snapshot();
    TDatabaseMaintenance(*conn).ShrinkDatabase();
    EXPECT_EQ(Snapshot(), withoutThird);
    EXPECT_NE(withoutThird, before);
}

TEST_P(DatabaseMaintenanceTest, RestoreGivesBackExactlyTheBackedUpRows)
{
    const QStringList before = Snapshot();
    const QString file = Backup();
    EXPECT_TRUE(QFileInfo(file).fileName().startsWith("TessarynBackup_"));
    EXPECT_EQ(Files(), QStringList{QFileInfo(file).fileName()}) << "no partial file is left";
    // changes after the backup: a new entry, a changed blob, a deleted category
    InsertEntry(4, "After the backup", "new");
    Exec("update entries set Items = null where code = 2");
    Exec("delete from bookmarks");
    ASSERT_NE(Snapshot(), before);
    TDatabaseMaintenance(*conn).RestoreDatabase(file);
    ASSERT_TRUE(conn->Connected());
    EXPECT_EQ(Snapshot(), before);
    // the database works on after the restore
    InsertEntry(5, "After the restore", "x");
    EXPECT_EQ(TDatabaseMaintenance(*conn).GetDatabaseStatistics().entries, 4);
}

TEST_P(DatabaseMaintenanceTest, BackupsOfOneMinuteKeepTheirOwnFiles)
{
    const QDateTime when(QDate(2024, 1, 31), QTime(9, 15));
    TDatabaseMaintenance maintenance(*conn);
    const QString first = TDatabaseMaintenance::BackupFileName(folder, when);
    EXPECT_EQ(QFileInfo(first).fileName(), "TessarynBackup_20240131_0915.dat");
    maintenance.BackupDatabase(first);
    const QString second = TDatabaseMaintenance::BackupFileName(folder, when);
    EXPECT_EQ(QFileInfo(second).fileName(), "TessarynBackup_20240131_0915_2.dat");
    maintenance.BackupDatabase(second);
    EXPECT_THROW(maintenance.BackupDatabase(first), EDatabaseError) << "an existing file is never overwritten";
    EXPECT_EQ(Files().size(), 2);
}

TEST_P(DatabaseMaintenanceTest, ABackupRemovesWhatKilledBackupsLeftAndNothingElse)
{
    auto make = [&](const QString& name) {
        QFile f(folder + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write("half a backup");
    };
    // what backups killed half way left behind
    const QStringList stale = {"TessarynBackup_20240131_0915.dat.partial", "TessarynBackup_20240131_0915_3.dat.partial"};
    // a backup, other files and a backup still being written by another run
    const QStringList kept = {"TessarynBackup_20240131_0915.dat", "notes.dat.partial", "TessarynBackup_old.dat.partial",
                              "TessarynBackup_20240131_0915.dat.partial.txt", "TessarynBackup_20240131_0916.dat.partial"};
    for (const QString& name : stale + kept)
        make(name);
    ASSERT_TRUE(QDir().mkpath(folder + "TessarynBackup_20240131_0917.dat.partial"));
    ASSERT_TRUE(QFile::link(folder + "notes.dat.partial", folder + "TessarynBackup_20240131_0918.dat.partial"));
    QFile running(folder + "TessarynBackup_20240131_0916.dat.partial");
    ASSERT_TRUE(running.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(running.handle(), LOCK_EX | LOCK_NB), 0);

    // and this backup holds its own file while it writes it
    TDatabaseMaintenance maintenance(*conn);
    const QString file = TDatabaseMaintenance::BackupFileName(folder, QDateTime::currentDateTime());
    int heldChecks = 0;
    maintenance.Progress = [&](qint64, qint64) {
        QFile partial(file + TDatabaseMaintenance::PartialSuffix);
        if (partial.open(QIODevice::ReadOnly)) {
            EXPECT_NE(::flock(partial.handle(), LOCK_EX | LOCK_NB), 0);
            ++heldChecks;
        }
        return true;
    };
    maintenance.BackupDatabase(file);
    EXPECT_GT(heldChecks, 0);
    QStringList expected = kept + QStringList{QFileInfo(file).fileName(), "TessarynBackup_20240131_0918.dat.partial"};
    expected.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::System, QDir::Name), expected);
    EXPECT_TRUE(QFileInfo(folder + "TessarynBackup_20240131_0917.dat.partial").isDir());
    EXPECT_EQ(running.size(), 13) << "the file being written is left alone";
}

TEST_P(DatabaseMaintenanceTest, BackupFoldersWithOddNamesAndMissingOnes)
{
    // spaces, quotes and Greek letters in the path
    folder = TestEnv::ScratchFolder() + "/my 'backup' \"copies\" \u03b1\u03c1\u03c7\u03b5\u03af\u03b1/";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QStringList before = Snapshot();
    const QString file = Backup();
    EXPECT_TRUE(QFileInfo(file).isFile());
    Exec("delete from entries");
    TDatabaseMaintenance(*conn).RestoreDatabase(file);
    EXPECT_EQ(Snapshot(), before);

    // a folder that is not there, or a file in its place
    TDatabaseMaintenance maintenance(*conn);
    const QString missing = TestEnv::ScratchFolder() + "/no such folder/";
    EXPECT_THROW(maintenance.BackupDatabase(missing + "TessarynBackup_x.dat"), EDatabaseError);
    EXPECT_FALSE(QFileInfo::exists(missing));
    const QString plainFile = TestEnv::ScratchFolder() + "/plain";
    QFile(plainFile).open(QIODevice::WriteOnly);
    EXPECT_THROW(maintenance.BackupDatabase(plainFile + "/TessarynBackup_x.dat"), EDatabaseError);
}

TEST_P(DatabaseMaintenanceTest, ABackupOntoAFullDiskSaysSoAndLeavesNoFile)
{
    // a file system far too small for the database
    const QString small = TestEnv::ScratchFolder() + "/small disk";
    const TestEnv::TScopedTmpfs disk(small, "128k");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    // random bytes: a compressed dump does not make them small
    QByteArray large(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
    InsertEntry(10, "large", large);
    TDatabaseMaintenance maintenance(*conn);
    const QString file = TDatabaseMaintenance::BackupFileName(small, QDateTime::currentDateTime());
    try {
        maintenance.BackupDatabase(file);
        ADD_FAILURE() << "a backup onto a full disk passed for successful";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QDir::toNativeSeparators(small))) << e.Message().toStdString();
    }
    EXPECT_TRUE(QDir(small).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(conn->Connected());
    EXPECT_EQ(TDatabaseMaintenance(*conn).GetDatabaseStatistics().entries, 4);
}

TEST_P(DatabaseMaintenanceTest, DamagedOrForeignBackupsAreRefusedAndTheDataStays)
{
    const QString good = Backup();
    Exec("delete from entries where code = 1");
    const QStringList current = Snapshot();
    QByteArray content;
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        content = f.readAll();
    }
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(folder + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return folder + name;
    };
    // a SQLite file of another program
    const QString foreign = folder + "other.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(foreign).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "create table notes (id integer primary key, text text); insert into notes values (1, 'x')",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const bool onSqlite = GetParam() == TEngine::SQLite;
    // a real Tessaryn database of the embedded engine
    const std::unique_ptr<TestDatabase> embedded = TestDatabase::Create(TEngine::SQLite);
    const QString sqliteTessaryn = embedded->Info().sqlitePath;
    const struct {
        const char* what;
        QString file;
        QString message;
    } cases[] = {
        {"missing", folder + "nothing.dat", "Backup file " + QDir::toNativeSeparators(folder + "nothing.dat") + " does not exist."},
        {"truncated", write("truncated.dat", content.left(content.size() / 2)), ""},
        {"a text file", write("text.dat", "just some notes\n"), "is not a Tessaryn backup."},
        {"another program's SQLite file", foreign, onSqlite ? "it has no table entries." : "SQLite database"},
        {"the other engine's backup", onSqlite ? write("other.dat", QByteArray("PGDMP\x01\x0e\x00", 8)) : sqliteTessaryn,
         onSqlite ? "PostgreSQL server" : "SQLite database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString message = ExpectRefused(c.file);
        EXPECT_TRUE(message.contains(c.message)) << message.toStdString();
        EXPECT_TRUE(conn->Connected());
        EXPECT_EQ(Snapshot(), current);
    }
}

struct TRefusedCase {
    const char* what;
    QStringList sqlite, postgres;   // statements run on the database backed up
    QStringList message;            // what the refusal says, in lower case
};

TEST_P(DatabaseMaintenanceTest, ABackupWhoseTablesDifferFromTessarynsIsRefusedBeforeAnythingIsReplaced)
{
    const QStringList current = Snapshot();
    const TRefusedCase cases[] = {
        {"a column renamed", {"alter table entries rename column category to kind"},
         {"alter table entries rename column category to kind"}, {"table entries", "no column category"}},
        {"a column more", {"alter table categories add column colour text"},
         {"alter table categories add column colour text"}, {"table categories", "column colour"}},
        {"a column of another type", {"alter table books drop column author", "alter table books add column author integer"},
         {"alter table books alter column author type integer using null"}, {"books.author", "integer", "text"}},
        {"a table missing", {"drop table books"}, {"drop table books"}, {"no table books"}},
        {"a newer schema", {"update tessaryn_info set value = '99' where name = 'schema version'"},
         {"update tessaryn_info set value = '99' where name = 'schema version'"}, {"newer version", "99"}},
        {"no schema version", {"delete from tessaryn_info"}, {"delete from tessaryn_info"}, {"no schema version"}},
    };
    for (const TRefusedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = BackupOfOther(GetParam() == TEngine::SQLite ? c.sqlite : c.postgres);
        const QString message = ExpectRefused(file).toLower();
        EXPECT_TRUE(message.contains(QDir::toNativeSeparators(file).toLower())) << message.toStdString();
        for (const QString& part : c.message)
            EXPECT_TRUE(message.contains(part)) << message.toStdString();
        EXPECT_EQ(Snapshot(), current);
        ExpectWorking();
    }
}

TEST_P(DatabaseMaintenanceTest, ABackupHoldingCodeTessarynsSchemaDoesNotHaveIsRefused)
{
    const QStringList current = Snapshot();
    const TRefusedCase cases[] = {
        {"a trigger that deletes",
         {"create trigger wipe after insert on entries begin delete from entries; end"},
         {"create function wipe_all() returns trigger language plpgsql as $$ begin delete from entries; return null; "
          "end $$",
          "create trigger wipe after insert on entries for each row execute function wipe_all()"},
         {"wipe"}},
        {"a trigger on a built-in function", {"create trigger slow before update on categories begin select 1; end"},
         {"create trigger slow before update on categories for each row execute function "
          "suppress_redundant_updates_trigger()"},
         {"trigger", "slow"}},
        {"a view", {"create view v_titles as select Title from entries"},
         {"create view v_titles as select Title from entries"}, {"view", "v_titles"}},
        {"an index of its own", {"create index ix_mine on entries (Title)"}, {"create index ix_mine on entries (Title)"},
         {"index", "ix_mine"}},
        {"the search index's trigger with another body",
         {"drop trigger entries_fts_insert",
          "create trigger entries_fts_insert after insert on entries begin delete from categories; end"},
         {"create or replace function sp_GetNextRecID(p_tablename text) returns integer language plpgsql as $$ "
          "begin delete from entries; return 1; end $$"},
         {"differs"}},
    };
    for (const TRefusedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = BackupOfOther(GetParam() == TEngine::SQLite ? c.sqlite : c.postgres);
        const QString message = ExpectRefused(file).toLower();
        EXPECT_TRUE(message.contains("cannot be restored")) << message.toStdString();
        for (const QString& part : c.message)
            EXPECT_TRUE(message.contains(part)) << message.toStdString();
        EXPECT_EQ(Snapshot(), current);
        ExpectWorking();
    }
}

TEST_P(DatabaseMaintenanceTest, ABackupOfAnEarlierSchemaVersionIsRestoredAndBroughtUpToDate)
{
    const QString file = BackupOfOther({"insert into categories (code, parent, name) values (5, 0, 'Old')",
                                        "insert into entries (code, category, Title, PasswordProtected) values "
                                        "(7, 5, 'From the first version', 0)"},
                                       Schema::BaseSchemaVersion());
    TDatabaseMaintenance(*conn).RestoreDatabase(file);
    conn->ReadSchemaState();
    TSchemaUpgrade upgrade(*conn);
    if (upgrade.Needed())
        upgrade.Run();
    EXPECT_EQ(upgrade.DatabaseVersion(), Schema::SchemaVersion());
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select Title from entries where code = 7") && q.next());
    EXPECT_EQ(q.value(0).toString(), "From the first version");
    EXPECT_EQ(TDatabaseMaintenance(*conn).GetDatabaseStatistics().entries, 1);
    ExpectWorking();
}

TEST_P(DatabaseMaintenanceTest, StatisticsTheEngineKeepsForItsPlannerAreNoForeignObject)
{
    // ANALYZE (run by a database tool, or by the engine's own optimiser)
    // leaves tables of statistics in a SQLite file; they hold no code.
    InsertEntry(10, "analysed", QByteArray("content"));
    Exec("analyze");
    const QStringList backedUp = Snapshot();
    const QString file = Backup();
    Exec("delete from entries");
    TDatabaseMaintenance(*conn).RestoreDatabase(file);
    EXPECT_EQ(Snapshot(), backedUp);
    ExpectWorking();
}

TEST_P(DatabaseMaintenanceTest, StoppingABackupOrARestoreChangesNothing)
{
    // enough data for the work to report progress at least once
    for (int code = 10; code < 70; ++code)
        InsertEntry(code, "bulk", QByteArray(64 * 1024, char(code)));
    const QStringList backedUp = Snapshot();
    const QString good = Backup();
    Exec("delete from entries where code >= 20");
    const QStringList current = Snapshot();
    TDatabaseMaintenance maintenance(*conn);
    maintenance.Progress = [](qint64, qint64) { return false; };
    const QString file = TDatabaseMaintenance::BackupFileName(folder, QDateTime::currentDateTime());
    EXPECT_THROW(maintenance.BackupDatabase(file), EAbort);
    EXPECT_EQ(Files(), QStringList{QFileInfo(good).fileName()}) << "a stopped backup leaves no file";
    EXPECT_THROW(maintenance.RestoreDatabase(good), EAbort);
    EXPECT_TRUE(conn->Connected());
    EXPECT_EQ(Snapshot(), current);
    // stopped half way (on SQLite the copy has begun: it is rolled back)
    int calls = 0;
    maintenance.Progress = [&](qint64, qint64) { return ++calls < 3; };
    EXPECT_THROW(maintenance.RestoreDatabase(good), EAbort);
    EXPECT_TRUE(conn->Connected());
    EXPECT_EQ(Snapshot(), current);
    // stopped once the data itself is on its way
    maintenance.Progress = [&](qint64 done, qint64) { return done == 0; };
    EXPECT_THROW(maintenance.RestoreDatabase(good), EAbort);
    EXPECT_TRUE(conn->Connected());
    EXPECT_EQ(Snapshot(), current);
    ExpectWorking();
    // and a restore let run to its end gives the backup back
    maintenance.Progress = nullptr;
    maintenance.RestoreDatabase(good);
    EXPECT_EQ(Snapshot(), backedUp);
}

TESSARYN_INSTANTIATE_ENGINES(DatabaseMaintenanceTest);

} // namespace
