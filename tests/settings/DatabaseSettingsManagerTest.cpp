#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "app/User.h"
#include "db/ClientRecordSet.h"
#include "settings/DatabaseSettingsManager.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QObject>
#include <QSysInfo>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

// Window classes as the program names them, for the control keys.
class TfrmKeyTestEditor : public QObject {
    Q_OBJECT
};

class TfrmKeyTestMain : public QObject {
    Q_OBJECT
};

namespace {

const QString kPrefix = QStringLiteral("TESSARYN\\");

class SettingsStore : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        folder = TestEnv::ScratchFolder();
    }

    std::unique_ptr<TDatabaseSettingsManager> Open(const QString& computer = QStringLiteral("PC1"))
    {
        return std::make_unique<TDatabaseSettingsManager>(*conn, user, folder, computer, kPrefix);
    }

    // Rows written straight into the table: user, computer, key below the prefix, values.
    void Preload(const QList<QStringList>& rows)
    {
        ClientRecordSet rs;
        rs.LoadFromPacket(conn->GetSettings("nobody", "nowhere")[0]);
        for (const QStringList& r : rows) {
            rs.Append();
            rs.SetValue("_user", r[0]);
            rs.SetValue("computer", r[1]);
            rs.SetValue("_key", QString(kPrefix + r[2]));
            rs.SetValue("_values", r[3]);
            rs.Post();
        }
        conn->ApplySettingsUpdates(rs.GetDelta());
    }

    // The _values of a stored row; nullopt when the row does not exist.
    std::optional<QString> Stored(const QString& user, const QString& computer, const QString& section)
    {
        ClientRecordSet rs;
        conn->OpenQueries({{"select _values from settings where _user = ? and computer = ? and _key = ?",
                            {user, computer, QString(kPrefix + section)}}},
                          {&rs});
        if (rs.IsEmpty())
            return std::nullopt;
        return rs.AsString("_values");
    }

    int RowCount()
    {
        ClientRecordSet rs;
        conn->OpenQueries({{"select count(*) from settings", {}}}, {&rs});
        return rs.Value(0).toInt();
    }

    TUser user;
    QString folder;
};

// Switches the default locale for one test.
struct TLocaleScope {
    explicit TLocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~TLocaleScope() { QLocale::setDefault(saved); }
    QLocale saved;
};

TEST_P(SettingsStore, ReadingAMissingSectionCreatesItEmptyInTheSelectedScopeAndFlushSendsIt)
{
    struct TCase {
        std::function<void(ISettingsManager&)> use;
        QString user, computer;
    };
    const QList<TCase> cases = {
        {[](ISettingsManager& s) { s.UseUserThisComputer(); }, "DEFAULT", "PC1"},
        {[](ISettingsManager& s) { s.UseUserAllComputers(); }, "DEFAULT", "ALL"},
        {[](ISettingsManager& s) { s.UseAllUsersThisComputer(); }, "ALL", "PC1"},
        {[](ISettingsManager& s) { s.UseAllUsersAllComputers(); }, "ALL", "ALL"},
    };
    auto store = Open();
    for (const TCase& c : cases) {
        c.use(*store);
        EXPECT_EQ(store->ReadInteger("Width", 42, "TfrmEntry"), 42);
        EXPECT_EQ(store->GetCurrentSection(), "TfrmEntry\\");
    }
    EXPECT_EQ(RowCount(), 0);
    store->Flush();
    EXPECT_EQ(RowCount(), 4);
    for (const TCase& c : cases)
        EXPECT_EQ(Stored(c.user, c.computer, "TfrmEntry\\"), QString()) << c.user.toStdString() << "/"
                                                                         << c.computer.toStdString();
}

TEST_P(SettingsStore, ChangingTheScopeRelocatesTheCurrentSectionByName)
{
    Preload({{"DEFAULT", "PC1", "Settings\\folders\\", "Extract folder=/here/"},
          {"DEFAULT", "ALL", "Settings\\folders\\", "Extract folder=/everywhere/"}});
    auto store = Open();
    ASSERT_TRUE(store->SelectSection("Settings\\folders"));
    {
        // Inside one bracket, where the section stays located, as well as across brackets
        TSettingsAccess access(*store);
        EXPECT_EQ(store->ReadString("Extract folder", "", "*"), "/here/");
        store->UseUserAllComputers();
        EXPECT_EQ(store->ReadString("Extract folder", "", "*"), "/everywhere/");
    }
    store->UseAllUsersAllComputers();
    EXPECT_EQ(store->ReadString("Extract folder", "none", "*"), "none");
    store->UseUserThisComputer();
    EXPECT_EQ(store->ReadString("Extract folder", "", "*"), "/here/");
    EXPECT_EQ(store->GetCurrentSection(), "Settings\\folders\\");
}

TEST_P(SettingsStore, NamesIgnoreCaseAndAWriteReplacesTheLineWithTheNewName)
{
    auto store = Open();
    store->WriteInteger("Width", 10, "TfrmEntry");
    store->WriteInteger("Height", 5, "*");
    EXPECT_EQ(store->ReadInteger("width", 0, "*"), 10);
    store->WriteInteger("WIDTH", 20, "*");
    EXPECT_EQ(store->ReadInteger("Width", 0, "*"), 20);
    EXPECT_TRUE(store->ValueExists("wIdTh"));
    EXPECT_FALSE(store->ValueExists("Depth"));
    store->Flush();
    EXPECT_EQ(Stored("DEFAULT", "PC1", "TfrmEntry\\"), "WIDTH=20\r\nHeight=5");
}

TEST_P(SettingsStore, TypedValuesAreStoredInTheirTextFormAndReadBack)
{
    const QDateTime stamp(QDate(2006, 3, 1), QTime(14, 5, 9, 123));
    struct TCase {
        const char* what;
        std::function<void(ISettingsManager&)> write;
        QString stored;
        std::function<bool(ISettingsManager&)> readsBack;
    };
    const QList<TCase> cases = {
        {"bool true", [](auto& s) { s.WriteBool("V", true); }, "1", [](auto& s) { return s.ReadBool("V", false); }},
        {"bool false", [](auto& s) { s.WriteBool("V", false); }, "0", [](auto& s) { return !s.ReadBool("V", true); }},
        {"integer", [](auto& s) { s.WriteInteger("V", -17); }, "-17",
         [](auto& s) { return s.ReadInteger("V", 0) == -17; }},
        {"float", [](auto& s) { s.WriteFloat("V", "*", 2.5); }, "2.5",
         [](auto& s) { return s.ReadFloat("V", "*", 0) == 2.5; }},
        {"date", [](auto& s) { s.WriteDate("V", "*", QDate(2006, 3, 1)); }, "03/01/2006",
         [](auto& s) { return s.ReadDate("V", "*", QDate()) == QDate(2006, 3, 1); }},
        {"date-time", [&](auto& s) { s.WriteDateTime("V", "*", stamp); }, "03/01/2006, 14:05:09",
         [](auto& s) {
             return s.ReadDateTime("V", "*", QDateTime()) == QDateTime(QDate(2006, 3, 1), QTime(14, 5, 9));
         }},
        {"time", [](auto& s) { s.WriteTime("V", "*", QTime(13, 4, 5)); }, "13:04:05",
         [](auto& s) { return s.ReadTime("V", "*", QTime()) == QTime(13, 4, 5); }},
        {"string", [](auto& s) { s.WriteString("V", "a = b"); }, "a = b",
         [](auto& s) { return s.ReadString("V", "") == "a = b"; }},
    };
    TLocaleScope c(QLocale::c());
    auto store = Open();
    store->SelectSection("Typed");
    for (const TCase& t : cases) {
        t.write(*store);
        EXPECT_EQ(store->ReadString("v", ""), t.stored) << t.what;
        EXPECT_TRUE(t.readsBack(*store)) << t.what;
    }
}

TEST_P(SettingsStore, StoredTextsDecodeAsTheTypesDefine)
{
    Preload({{"DEFAULT", "PC1", "Raw\\",
           "Bool=true\r\nOne=1\r\nEmpty=\r\nComma=2,25\r\nDot=2.25\r\nBad=abc\r\nBadDate=13/45/2006\r\n"
           "BadStamp=03/01/2006 14\r\nBadTime=25:99:00"}});
    TLocaleScope c(QLocale::c());
    auto store = Open();
    store->SelectSection("Raw");
    EXPECT_FALSE(store->ReadBool("Bool", true));
    EXPECT_TRUE(store->ReadBool("One", false));
    EXPECT_TRUE(store->ReadBool("Missing", true));
    EXPECT_EQ(store->ReadInteger("Empty", 7), 7);
    EXPECT_EQ(store->ReadString("Empty", "default"), "default");
    EXPECT_FALSE(store->ValueExists("Empty"));
    EXPECT_EQ(store->ReadFloat("Comma", "*", 0), 2.25);
    EXPECT_EQ(store->ReadFloat("Dot", "*", 0), 2.25);
    EXPECT_EQ(store->ReadDate("Missing", "*", QDate(1999, 12, 31)), QDate(1999, 12, 31));
    try {
        store->ReadInteger("Bad", 0);
        ADD_FAILURE() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
    EXPECT_THROW(store->ReadFloat("Bad", "*", 0), EConvertError);
    EXPECT_THROW(store->ReadDate("BadDate", "*", QDate()), EConvertError);
    EXPECT_THROW(store->ReadDateTime("BadStamp", "*", QDateTime()), EConvertError);
    EXPECT_THROW(store->ReadTime("BadTime", "*", QTime()), EConvertError);
}

TEST_P(SettingsStore, FloatsAreWrittenWithTheLocaleSeparatorAndReadWithEither)
{
    TLocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    auto store = Open();
    store->WriteFloat("Ratio", "Floats", 1234.5);
    EXPECT_EQ(store->ReadString("Ratio", ""), "1234,5");
    EXPECT_EQ(store->ReadFloat("Ratio", "*", 0), 1234.5);
    store->WriteString("Ratio", "0.75");
    EXPECT_EQ(store->ReadFloat("Ratio", "*", 0), 0.75);
}

TEST_P(SettingsStore, StringListsAreTheWholeSectionAndAnEmptyListIsOneBlank)
{
    auto store = Open();
    store->WriteStrings({}, "MRU\\empty");
    store->WriteStrings({"first", "x=y", " spaced "}, "MRU\\full");
    QStringList list = {"stale"};
    EXPECT_TRUE(store->ReadStrings(list, "MRU\\empty"));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(store->ReadStrings(list, "MRU\\full"));
    EXPECT_EQ(list, (QStringList{"first", "x=y", " spaced "}));
    EXPECT_TRUE(store->ReadStrings(list, "MRU\\never written"));
    EXPECT_TRUE(list.isEmpty());
    store->Flush();
    EXPECT_EQ(Stored("DEFAULT", "PC1", "MRU\\empty\\"), " ");
    EXPECT_EQ(Stored("DEFAULT", "PC1", "MRU\\full\\"), "first\r\nx=y\r\n spaced ");
}

TEST_P(SettingsStore, WholeSectionsAreReadAndWrittenByName)
{
    auto store = Open();
    store->WriteStrings({"keep=3", "no name line", "=anonymous"}, "Sec");
    const QStringList names = {"a", "B"}, values = {"1", "2"};
    EXPECT_EQ(store->WriteSection(names, &values, "Sec"), 0);
    EXPECT_EQ(store->WriteSection({"c"}, nullptr, "*"), 0);
    EXPECT_EQ(store->WriteSection({"d", "e"}, &values, "*"), 0);
    EXPECT_EQ(store->WriteSection({"f", "g", "h"}, &values, "*"), 1);   // more names than values

    QStringList readNames, readValues;
    EXPECT_EQ(store->ReadSection(readNames, &readValues, "Sec"), 0);
    EXPECT_EQ(readNames, (QStringList{"keep", "a", "B", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(readValues, (QStringList{"3", "1", "2", "", "1", "2", "1", "2"}));
    QStringList allNames;
    store->ReadSectionNames(allNames);
    EXPECT_EQ(allNames.mid(0, 3), (QStringList{"keep", "", ""}));
}

TEST_P(SettingsStore, EraseSectionRemovesTheSectionAndItsSubsectionsInTheSelectedScopeOnly)
{
    Preload({{"DEFAULT", "PC1", "TfrmEntry\\", "Left=1"},
          {"DEFAULT", "PC1", "TfrmEntry\\cbSource\\", "one"},
          {"DEFAULT", "PC1", "TfrmEntryList\\", "Left=2"},
          {"DEFAULT", "PC1", "Forms\\TfrmEntry\\cbSource\\", "two"},
          {"ALL", "ALL", "TfrmEntry\\cbSource\\", "three"},
          {"DEFAULT", "ALL", "TfrmEntry\\", "Left=4"}});
    auto store = Open();
    store->WriteStrings({"pending"}, "TfrmEntry\\cbKeywords");   // inserted since the last flush
    EXPECT_EQ(store->ReadInteger("Left", 0, "TfrmEntry"), 1);
    store->EraseSection("TfrmEntry");
    EXPECT_EQ(store->GetCurrentSection(), "");
    store->Flush();

    EXPECT_EQ(Stored("DEFAULT", "PC1", "TfrmEntry\\"), std::nullopt);
    EXPECT_EQ(Stored("DEFAULT", "PC1", "TfrmEntry\\cbSource\\"), std::nullopt);
    EXPECT_EQ(Stored("DEFAULT", "PC1", "TfrmEntry\\cbKeywords\\"), std::nullopt);
    EXPECT_EQ(Stored("DEFAULT", "PC1", "TfrmEntryList\\"), "Left=2");
    EXPECT_EQ(Stored("DEFAULT", "PC1", "Forms\\TfrmEntry\\cbSource\\"), "two");
    EXPECT_EQ(Stored("ALL", "ALL", "TfrmEntry\\cbSource\\"), "three");
    EXPECT_EQ(Stored("DEFAULT", "ALL", "TfrmEntry\\"), "Left=4");
    EXPECT_EQ(RowCount(), 4);
}

TEST_P(SettingsStore, TheSamePathInTwoScopesIsTwoIndependentRows)
{
    {
        auto store = Open();
        store->WriteInteger("Left", 1, "TfrmMain");
        store->UseAllUsersAllComputers();
        EXPECT_EQ(store->ReadInteger("Left", -1, "*"), -1);
        store->WriteInteger("Left", 2, "*");
        store->UseUserThisComputer();
        EXPECT_EQ(store->ReadInteger("Left", -1, "TfrmMain"), 1);
        store->Flush();
    }
    EXPECT_EQ(Stored("DEFAULT", "PC1", "TfrmMain\\"), "Left=1");
    EXPECT_EQ(Stored("ALL", "ALL", "TfrmMain\\"), "Left=2");
}

TEST_P(SettingsStore, EveryTypeSurvivesARestart)
{
    const QDateTime stamp(QDate(2024, 2, 29), QTime(23, 59, 58));
    {
        auto store = Open();
        TSettingsAccess access(*store);
        store->SelectSection("Settings\\everything");
        store->WriteString("Text", "Ünïcödé Ωμέγα");
        store->WriteInteger("Integer", -2147483647);
        store->WriteBool("Bool", true);
        store->WriteFloat("Float", "*", -0.1);
        store->WriteDate("Date", "*", stamp.date());
        store->WriteDateTime("Stamp", "*", stamp);
        store->WriteTime("Time", "*", stamp.time());
        store->WriteStrings({"one", "two"}, "Settings\\list");
        store->Flush();
    }
    auto store = Open();
    store->SelectSection("Settings\\everything");
    EXPECT_EQ(store->ReadString("Text", ""), "Ünïcödé Ωμέγα");
    EXPECT_EQ(store->ReadInteger("Integer", 0), -2147483647);
    EXPECT_TRUE(store->ReadBool("Bool", false));
    EXPECT_EQ(store->ReadFloat("Float", "*", 0), -0.1);
    EXPECT_EQ(store->ReadDate("Date", "*", QDate()), stamp.date());
    EXPECT_EQ(store->ReadDateTime("Stamp", "*", QDateTime()), stamp);
    EXPECT_EQ(store->ReadTime("Time", "*", QTime()), stamp.time());
    QStringList list;
    EXPECT_TRUE(store->ReadStrings(list, "Settings\\list"));
    EXPECT_EQ(list, (QStringList{"one", "two"}));
}

TEST_P(SettingsStore, PendingChangesLiveInTheCacheFileAndGoOutTogetherAtFlush)
{
    Preload({{"DEFAULT", "PC1", "Old\\", "Value=old"}, {"DEFAULT", "PC1", "Doomed\\", "x=1"}});
    auto store = Open();
    EXPECT_FALSE(store->CacheOpen());
    store->BeginAccess();
    store->BeginAccess();
    store->WriteString("Value", "new", "Old");
    store->EndAccess();
    EXPECT_TRUE(store->CacheOpen());
    store->EndAccess();
    EXPECT_FALSE(store->CacheOpen());
    store->EndAccess();   // unbalanced: harmless
    EXPECT_EQ(store->AccessDepth(), 0);

    store->WriteString("Name", "one", "New\\First");
    store->WriteString("Name", "two", "New\\Second");
    store->EraseSection("Doomed");
    EXPECT_FALSE(store->CacheOpen());
    // Every change so far went through closing and reopening the cache file.
    EXPECT_EQ(store->ReadString("Value", "", "Old"), "new");
    EXPECT_EQ(store->ReadString("Name", "", "New\\Second"), "two");
    EXPECT_EQ(Stored("DEFAULT", "PC1", "Old\\"), "Value=old");
    EXPECT_EQ(RowCount(), 2);

    store->Flush();
    EXPECT_EQ(Stored("DEFAULT", "PC1", "Old\\"), "Value=new");
    EXPECT_EQ(Stored("DEFAULT", "PC1", "New\\First\\"), "Name=one");
    EXPECT_EQ(Stored("DEFAULT", "PC1", "Doomed\\"), std::nullopt);
    EXPECT_EQ(RowCount(), 3);

    // The changes were accepted: a second flush sends only what changed since.
    store->WriteString("Value", "newer", "Old");
    store->Flush();
    store->Flush();
    EXPECT_EQ(Stored("DEFAULT", "PC1", "Old\\"), "Value=newer");
    EXPECT_EQ(RowCount(), 3);
}

TEST_P(SettingsStore, FlushRaisesWhenTheRowChangedInTheDatabaseMeanwhile)
{
    Preload({{"DEFAULT", "PC1", "Shared\\", "a=1"}});
    auto store = Open();
    db->ExecOutside("delete from settings");
    store->WriteString("a", "2", "Shared");
    EXPECT_THROW(store->Flush(), EDatabaseError);
}

TEST_P(SettingsStore, TheCacheIsRebuiltFromTheDatabaseAtEveryStart)
{
    Preload({{"DEFAULT", "PC1", "Settings\\folders\\", "Extract folder=/db/"}});
    const QString cacheFile = folder + "DEFAULTPC1AppSettings.dat";
    const QList<QPair<const char*, QByteArray>> leftovers = {
        {"missing", {}},
        {"corrupt", QByteArray("not a settings cache \x00\x01\x02", 24)},
        {"empty", QByteArray("")},
    };
    for (const auto& [what, content] : leftovers) {
        QFile::remove(cacheFile);
        if (!content.isNull()) {
            QFile file(cacheFile);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        auto store = Open();
        EXPECT_EQ(store->CacheFileName(), cacheFile);
        EXPECT_EQ(store->ReadString("Extract folder", "", "Settings\\folders"), "/db/") << what;
        EXPECT_TRUE(QFile::exists(cacheFile)) << what;
    }

    // Changes a previous run left unsent are dropped by the next start.
    Open()->WriteString("Extract folder", "/unsent/", "Settings\\folders");
    auto store = Open();
    EXPECT_EQ(store->ReadString("Extract folder", "", "Settings\\folders"), "/db/");
    // A cache file lost while running is fetched again.
    QFile::remove(cacheFile);
    EXPECT_EQ(store->ReadString("Extract folder", "", "Settings\\folders"), "/db/");
}

TEST_P(SettingsStore, AnUnwritableCacheFailsTheStartButLaterKeepsTheChangesInMemory)
{
    const QString cacheFile = folder + "DEFAULTPC1AppSettings.dat";
    ASSERT_TRUE(QDir().mkpath(cacheFile));   // a folder where the file should go
    EXPECT_THROW(Open(), ETessarynError);
    ASSERT_TRUE(QDir(cacheFile).removeRecursively());

    auto store = Open();
    ASSERT_TRUE(QFile::remove(cacheFile));
    ASSERT_TRUE(QDir().mkpath(cacheFile));
    store->WriteString("Kept", "yes", "Memory");
    EXPECT_TRUE(store->CacheOpen());
    EXPECT_EQ(store->AccessDepth(), 0);
    EXPECT_EQ(store->ReadString("Kept", "", "Memory"), "yes");
    store->Flush();
    EXPECT_EQ(Stored("DEFAULT", "PC1", "Memory\\"), "Kept=yes");

    ASSERT_TRUE(QDir(cacheFile).removeRecursively());
    store->WriteString("Kept", "again", "Memory");
    EXPECT_FALSE(store->CacheOpen());
    EXPECT_EQ(store->ReadString("Kept", "", "Memory"), "again");
}

TEST_P(SettingsStore, QuotesSemicolonsAndDashesAreStoredVerbatim)
{
    const QString name = "O'Brien; --name", value = "x'); drop table settings; --", section = "Sec'tion; --";
    const QString computer = "PC'; --";
    {
        auto store = Open(computer);
        store->WriteString(name, value, section);
        store->Flush();
    }
    EXPECT_EQ(Stored("DEFAULT", computer, section + "\\"), name + "=" + value);
    EXPECT_EQ(Open(computer)->ReadString(name, "", section), value);
}

TEST_P(SettingsStore, UserAndComputerNamesIgnoreCase)
{
    Preload({{"default", "pc1", "Window\\", "Left=5"}, {"all", "all", "Window\\", "Left=6"}});
    auto store = Open("Pc1");
    EXPECT_EQ(store->ReadInteger("Left", 0, "window"), 5);
    store->WriteInteger("Left", 7, "*");
    store->UseAllUsersAllComputers();
    EXPECT_EQ(store->ReadInteger("Left", 0, "*"), 6);
    store->Flush();
    EXPECT_EQ(Stored("default", "pc1", "Window\\"), "Left=7");
    EXPECT_EQ(RowCount(), 2);
}

TEST_P(SettingsStore, ControlKeysFollowTheWindowAndItsPersistence)
{
    TfrmKeyTestEditor editor;
    TfrmKeyTestMain mainWindow;
    mainWindow.setProperty(TDatabaseSettingsManager::PersistentWindowProperty, true);
    QObject editorPanel(&editor), source(&editorPanel), unnamed(&editor), mainCombo(&mainWindow), orphan;
    source.setObjectName("cbSource");
    mainCombo.setObjectName("cbSearch");
    orphan.setObjectName("cbAlone");

    auto store = Open();
    EXPECT_EQ(store->GetControlKey(&source), "Forms\\TfrmKeyTestEditor\\cbSource\\");
    EXPECT_EQ(store->GetControlKey(&mainCombo), "TfrmKeyTestMain\\cbSearch\\");
    EXPECT_EQ(store->GetControlKey(&unnamed), "Unknown\\");
    EXPECT_EQ(store->GetControlKey(&orphan), "Unknown\\");
    EXPECT_EQ(store->GetControlKey(nullptr), "Unknown\\");
}

TEST_P(SettingsStore, DefaultsComeFromTheRunningProgramAndTheHost)
{
    TDatabaseSettingsManager store(*conn, user, folder);
    EXPECT_EQ(store.GetKeyPrefix(), "TEST_SETTINGS_STORE\\");
    const QString host = QSysInfo::machineHostName();
    EXPECT_EQ(store.ComputerName(), host.isEmpty() ? "< COMPUTER NOT SPECIFIED >" : host);
    EXPECT_EQ(store.CacheFileName(), folder + "DEFAULT" + store.ComputerName() + "AppSettings.dat");
    EXPECT_TRUE(store.ReadObjectState(nullptr, "*"));
}

TESSARYN_INSTANTIATE_ENGINES(SettingsStore);

} // namespace

#include "DatabaseSettingsManagerTest.moc"
