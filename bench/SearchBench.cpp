// Scenario "search": a synthetic knowledge base of realistic size, searched
// through the program's own path (gateway, server-side assembly, record sets)
// and, on the same file in the same run, by the sqlite3 shell running the
// same statements with SQLite's plain LIKE.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "db/ConnectionInfo.h"
#include "db/EngineDialect.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "search/SearchOptions.h"
#include "search/SearchQuery.h"
#include "search/dmSearch.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <random>

namespace {

// The words of the generated texts, most frequent first. Greek and German
// words are mixed in so that the Unicode-aware matching does real work.
const char* const kEnglish[] = {
    "note", "project", "report", "meeting", "design", "review", "budget", "plan", "draft", "summary",
    "letter", "invoice", "contract", "recipe", "travel", "photo", "manual", "guide", "article", "paper",
    "data", "analysis", "model", "network", "server", "client", "backup", "archive", "library", "source",
    "garden", "kitchen", "house", "window", "door", "river", "mountain", "forest", "city", "village",
    "history", "science", "music", "painting", "theatre", "novel", "poem", "chapter", "index", "table",
    "figure", "chart", "result", "method", "sample", "survey", "question", "answer", "problem", "solution",
    "idea", "concept", "theory", "practice", "lesson", "course", "exam", "student", "teacher", "school",
    "company", "market", "customer", "product", "service", "price", "order", "delivery", "supplier", "stock",
    "health", "doctor", "patient", "medicine", "diet", "sport", "football", "tennis", "running", "cycling",
    "engine", "vehicle", "train", "station", "airport", "flight", "ticket", "hotel", "museum", "gallery",
    "camera", "lens", "light", "colour", "shadow", "texture", "pattern", "fabric", "wool", "cotton",
    "bread", "cheese", "wine", "coffee", "tea", "sugar", "salt", "pepper", "butter", "apple",
    "winter", "summer", "autumn", "spring", "morning", "evening", "weekend", "holiday", "birthday", "wedding",
    "family", "friend", "neighbour", "child", "parent", "brother", "sister", "uncle", "cousin", "guest",
    "software", "hardware", "keyboard", "screen", "printer", "scanner", "cable", "router", "password", "account",
    "query", "database", "record", "field", "column", "schema", "release", "version", "feature", "defect",
    "contractor", "architect", "engineer", "lawyer", "banker", "farmer", "baker", "painter", "writer", "singer",
    "ocean", "island", "harbour", "bridge", "tower", "castle", "church", "market", "square", "street",
    "battery", "charger", "adapter", "voltage", "circuit", "sensor", "signal", "antenna", "radio", "speaker",
    "insurance", "pension", "mortgage", "salary", "receipt", "payment", "refund", "discount", "warranty", "tax",
    "climate", "weather", "storm", "rain", "snow", "wind", "cloud", "sunrise", "sunset", "horizon",
    "planet", "galaxy", "telescope", "orbit", "rocket", "satellite", "comet", "asteroid", "eclipse", "nebula",
    "violin", "piano", "guitar", "trumpet", "orchestra", "concert", "opera", "ballet", "choir", "rhythm",
    "protocol", "algorithm", "compiler", "kernel", "thread", "socket", "buffer", "cache", "cluster", "token",
};
const char* const kGreek[] = {
    "καλημέρα", "σοφία", "θάλασσα", "βιβλίο", "ιστορία", "μουσική", "φιλοσοφία", "γλώσσα", "ελευθερία", "ταξίδι",
    "Αθήνα", "ΘΕΑΤΡΟ", "ήλιος", "νερό", "δρόμος", "σπίτι", "φίλος", "αγάπη", "χρόνος", "λόγος",
};
const char* const kGerman[] = {
    "Straße", "Größe", "Bücher", "Übersicht", "Äpfel", "Grüße", "Fußball", "Mädchen", "Brücke", "Käse",
    "Schlüssel", "Wörterbuch", "Gebäude", "Rechnung", "Märchen", "Frühling", "Gemüse", "Zähler", "Öffnung", "Hütte",
};
const char* const kExtensions[] = {"pdf", "txt", "docx", "html", "jpg", "xlsx", "md", "png", "odt", "zip"};

// Generated words, numbers and chances; the same randomStart builds the same base.
class TGenerator {
public:
    explicit TGenerator(quint32 randomStart) : m_rng(randomStart)
    {
        // Every sixth word is Greek or German, so some of them are common.
        qsizetype english = 0, greek = 0, german = 0;
        const qsizetype englishCount = std::size(kEnglish);
        while (english < englishCount) {
            if (m_words.size() % 6 == 5 && (greek < qsizetype(std::size(kGreek)) || german < qsizetype(std::size(kGerman))))
                m_words.append(QString::fromUtf8((greek <= german && greek < qsizetype(std::size(kGreek))) ? kGreek[greek++] : kGerman[german++]));
            else
                m_words.append(QString::fromLatin1(kEnglish[english++]));
        }
        // Zipf's law: the word of rank r is drawn with weight 1/r.
        std::vector<double> weights;
        for (qsizetype r = 1; r <= m_words.size(); ++r)
            weights.push_back(1.0 / double(r));
        m_zipf = std::discrete_distribution<int>(weights.begin(), weights.end());
    }

    const QStringList& Vocabulary() const { return m_words; }
    QString Word() { return m_words.at(m_zipf(m_rng)); }
    QString Capitalised()
    {
        QString word = Word();
        word[0] = word.at(0).toUpper();
        return word;
    }
    QString Words(int from, int to, const QString& separator)
    {
        QStringList words;
        const int count = Int(from, to);
        for (int i = 0; i < count; ++i)
            words.append(i == 0 || Chance(0.15) ? Capitalised() : Word());
        return words.join(separator);
    }
    int Int(int from, int to) { return std::uniform_int_distribution<int>(from, to)(m_rng); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    QString Guid()
    {
        QString hex;
        for (int i = 0; i < 32; ++i)
            hex += QString::number(Int(0, 15), 16).toUpper();
        return hex.mid(0, 8) + u'-' + hex.mid(8, 4) + u'-' + hex.mid(12, 4) + u'-' + hex.mid(16, 4) + u'-' + hex.mid(20);
    }
    QByteArray Bytes(int from, int to)
    {
        QByteArray bytes(Int(from, to), Qt::Uninitialized);
        for (char& b : bytes)
            b = char(Int(0, 255));
        return bytes;
    }

private:
    std::mt19937 m_rng;
    QStringList m_words;
    std::discrete_distribution<int> m_zipf;
};

struct TBenchConfig {
    int entries = 100000;
    int filesPerEntry = 3;
    int categories = 200;
    int runs = 5;
    QString cases = QStringLiteral("abc");
    // A folder where the generated base stays after the run, for a look
    // with other tools; empty: a temporary folder, removed.
    QString keep;
    // A folder kept by an earlier --keep run: its base is searched as it
    // stands instead of a new one being built.
    QString base;
    quint32 randomStart = 20060301;
};

void Exec(QSqlQuery& query)
{
    if (!query.exec())
        throw EDatabaseError(query.lastError().text());
}

QSqlQuery Prepared(TdmConnection& connection, const QString& sql)
{
    QSqlQuery query(connection.Database());
    if (!query.prepare(sql))
        throw EDatabaseError(query.lastError().text());
    return query;
}

// Writes the whole base in one transaction straight through SQL: the
// gateway's row-by-row deltas would take minutes for this many rows.
// Returns the category tree as children by parent.
QHash<int, QList<int>> BuildKnowledgeBase(TdmConnection& connection, const TBenchConfig& config, TGenerator& gen)
{
    TSchemaBuilder(connection).Create(false);
    QHash<int, QList<int>> children;
    connection.BeginTransaction();

    QSqlQuery category = Prepared(connection, QStringLiteral(
        "insert into categories (code, parent, name, description, GUID) values (?, ?, ?, ?, ?)"));
    for (int code = 1; code <= config.categories; ++code) {
        // A dozen roots; every later category hangs below an earlier one,
        // which gives a tree of a few levels.
        const int parent = code <= 12 ? 0 : gen.Int(1, code - 1);
        children[parent].append(code);
        category.bindValue(0, code);
        category.bindValue(1, parent);
        category.bindValue(2, gen.Words(1, 2, QStringLiteral(" ")));
        category.bindValue(3, gen.Words(3, 8, QStringLiteral(" ")));
        category.bindValue(4, gen.Guid());
        Exec(category);
    }

    const TEngineDialect& dialect = connection.Dialect();
    QSqlQuery entry = Prepared(connection, QStringLiteral(
        "insert into entries (code, DateCreated, DateModified, category, Title, Keywords, PasswordProtected, "
        "source, Comments, GUID, Items) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery file = Prepared(connection, QStringLiteral(
        "insert into entryfiles (code, entry, Name, Type, FileSize) values (?, ?, ?, ?, ?)"));
    const QDate firstDay(2000, 1, 1);
    const int days = int(firstDay.daysTo(QDate(2024, 12, 31)));
    int fileCode = 0;
    for (int code = 1; code <= config.entries; ++code) {
        const QDate created = firstDay.addDays(gen.Int(0, days));
        const QDate modified = created.addDays(gen.Int(0, 400));
        QString source;
        if (gen.Chance(0.3))
            source = QStringLiteral("https://www.%1.org/%2/%3.html").arg(gen.Word(), gen.Word(), gen.Word());
        else if (gen.Chance(0.3))
            source = QStringLiteral("Book: ") + gen.Words(2, 4, QStringLiteral(" "));
        entry.bindValue(0, code);
        entry.bindValue(1, dialect.DateTimeParam(QDateTime(created, QTime(0, 0))));
        entry.bindValue(2, dialect.DateTimeParam(QDateTime(modified, QTime(0, 0))));
        entry.bindValue(3, gen.Chance(0.02) ? QVariant(QMetaType(QMetaType::Int)) : QVariant(gen.Int(1, config.categories)));
        entry.bindValue(4, gen.Words(3, 8, QStringLiteral(" ")));
        entry.bindValue(5, gen.Words(2, 6, QStringLiteral(", ")));
        entry.bindValue(6, gen.Chance(0.05) ? 1 : 0);
        entry.bindValue(7, source);
        entry.bindValue(8, gen.Chance(0.3) ? QStringLiteral(" ") : gen.Words(8, 40, QStringLiteral(" ")) + u'.');
        entry.bindValue(9, gen.Guid());
        entry.bindValue(10, gen.Bytes(100, 600));
        Exec(entry);
        for (int f = 0; f < config.filesPerEntry; ++f) {
            const bool folder = gen.Chance(0.05);
            file.bindValue(0, ++fileCode);
            file.bindValue(1, code);
            file.bindValue(2, folder ? gen.Words(1, 2, QStringLiteral(" "))
                                     : gen.Words(1, 3, QStringLiteral("_")) + u'.' + QString::fromLatin1(kExtensions[gen.Int(0, 9)]));
            file.bindValue(3, folder ? 2 : 1);
            file.bindValue(4, folder ? 0 : gen.Int(100, 5000000));
            Exec(file);
        }
    }
    connection.Commit();
    QSqlQuery settle(connection.Database());
    // SQLite: both sides read the same main file, nothing waits in the
    // write-ahead log. PostgreSQL: the planner knows the tables' sizes, as
    // it would after the server's own analysis of a base in use.
    const bool embedded = connection.Info().engine == TConnectionInfo::TEngine::SQLite;
    if (!settle.exec(embedded ? QStringLiteral("pragma wal_checkpoint(truncate)") : QStringLiteral("analyze")))
        throw EDatabaseError(settle.lastError().text());
    return children;
}

// The category tree of a base built earlier, as children by parent, and the
// size of the base.
QHash<int, QList<int>> ReadKnowledgeBase(TdmConnection& connection, TBenchConfig& config)
{
    QHash<int, QList<int>> children;
    QSqlQuery query(connection.Database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select code, parent from categories order by code")))
        throw EDatabaseError(query.lastError().text());
    config.categories = 0;
    while (query.next()) {
        children[query.value(1).toInt()].append(query.value(0).toInt());
        ++config.categories;
    }
    if (!query.exec(QStringLiteral("select count(*), (select count(*) from entryfiles) from entries")) || !query.next())
        throw EDatabaseError(query.lastError().text());
    config.entries = query.value(0).toInt();
    config.filesPerEntry = config.entries == 0 ? 0 : query.value(1).toInt() / config.entries;
    return children;
}

QList<int> Descendants(const QHash<int, QList<int>>& children, int code)
{
    QList<int> result;
    for (const int child : children.value(code)) {
        result.append(child);
        result.append(Descendants(children, child));
    }
    return result;
}

struct TCaseResult {
    double ours = 0;
    double peer = 0;
    double peakMB = 0;
};

// The peer of one engine: the statements a search made before the index,
// run by the engine's own shell on the same database, with the keys written
// in as literals.
struct TPeer {
    TConnectionInfo::TEngine engine = TConnectionInfo::TEngine::SQLite;
    QString database;   // the SQLite file or the libpq connection string

    double Time(const QStringList& statements) const
    {
        return engine == TConnectionInfo::TEngine::SQLite ? BenchSupport::TimeWithSqliteShell(database, statements)
                                                          : BenchSupport::TimeWithPsql(database, statements);
    }
    QString Value(const QString& statement) const
    {
        return engine == TConnectionInfo::TEngine::SQLite ? BenchSupport::SqliteShellValue(database, statement)
                                                          : BenchSupport::PsqlValue(database, statement);
    }
};

TCaseResult RunCase(QTextStream& out, const QString& label, TdmSearch& search, const TOstrivaleSearchOptions& options,
                    const TPeer& peerShell, const TBenchConfig& config)
{
    using namespace BenchSupport;
    TCaseResult result;

    // On SQLite the shell knows nothing of the Unicode-aware LIKE and runs
    // its plain one; PostgreSQL's ILIKE is the same on both sides.
    const auto dialect = TEngineDialect::Create(peerShell.engine);
    const TSearchStatements statements = TSearchQuery(*dialect, TSearchPath::Scan).Build(options.ToRequest());
    const QStringList peerStatements = {InlineParameters(statements.entries.text, statements.entries.params),
                                        InlineParameters(statements.files.text, statements.files.params)};

    ResetPeakMemory();
    search.RunSearch(options);   // warm-up, as for the peer below
    QList<double> ours;
    for (int i = 0; i < config.runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        search.RunSearch(options);
        ours.append(double(timer.nsecsElapsed()) / 1e6);
    }
    result.peakMB = PeakMemoryMB();
    result.ours = Median(ours);
    const int entriesFound = search.cdsSearch.RecordCount();
    search.cdsEntryFiles.CancelRange();
    const int filesFound = search.cdsEntryFiles.RecordCount();

    peerShell.Time(peerStatements);
    QList<double> peer;
    for (int i = 0; i < config.runs; ++i)
        peer.append(peerShell.Time(peerStatements));
    result.peer = Median(peer);
    const QString peerEntries = peerShell.Value(QStringLiteral("select count(*) from (") + peerStatements[0] + QStringLiteral(") s"));
    const QString peerFiles = peerShell.Value(QStringLiteral("select count(*) from (") + peerStatements[1] + QStringLiteral(") s"));

    out << label << "\n"
        << QStringLiteral("    ours %1 ms  peer %2 ms  ratio %3  entries %4 (peer %5)  files %6 (peer %7)  peak %8 MB\n")
               .arg(result.ours, 0, 'f', 1)
               .arg(result.peer, 0, 'f', 1)
               .arg(result.ours / std::max(result.peer, 0.001), 0, 'f', 2)
               .arg(entriesFound)
               .arg(peerEntries)
               .arg(filesFound)
               .arg(peerFiles)
               .arg(result.peakMB, 0, 'f', 0);
    out.flush();
    return result;
}

// Runs the cases asked for on one engine's base; the result of (a).
TCaseResult RunCases(QTextStream& out, TdmConnection& connection, const QHash<int, QList<int>>& children,
                     const QStringList& vocabulary, const TPeer& peer, const TBenchConfig& config)
{
    BenchSupport::TSilentDesktop desktop;
    TdmSearch search(connection, desktop);
    search.SortField = [] { return QStringLiteral("ReverseCreationOrder"); };

    // Two keys of middling frequency, as typed: lower case, plain letters.
    const QString keys = vocabulary.at(20) + u' ' + vocabulary.at(33);
    TOstrivaleSearchOptions everywhere;
    everywhere.Keys = keys;
    everywhere.Operator = TOstrivaleSearchOptions::OperatorAll;
    everywhere.ContentFlags = (1 << TOstrivaleSearchOptions::ContentFlagCount) - 1;
    everywhere.AllCategories = true;
    TCaseResult a;
    if (config.cases.contains(u'a'))
        a = RunCase(out, QStringLiteral("(a) keys \"%1\" in all six kinds, all of the keys").arg(keys), search,
                    everywhere, peer, config);

    if (config.cases.contains(u'b')) {
        // The root category whose subtree is largest, with its subcategories,
        // and eleven years out of twenty-five.
        int root = 1;
        for (const int candidate : children.value(0))
            if (Descendants(children, candidate).size() > Descendants(children, root).size())
                root = candidate;
        TOstrivaleSearchOptions filtered;
        filtered.Assign(everywhere);
        filtered.AllCategories = false;
        filtered.CategoryCodes = {root};
        filtered.IncludeSubcategories = true;
        filtered.DescendantCodes = [&children](int code) { return Descendants(children, code); };
        filtered.DateRange = true;
        filtered.FromDate = QDate(2005, 1, 1);
        filtered.ToDate = QDate(2015, 12, 31);
        RunCase(out,
                QStringLiteral("(b) as (a) in category %1 with its %2 subcategories, created 2005-2015")
                    .arg(root)
                    .arg(Descendants(children, root).size()),
                search, filtered, peer, config);
    }

    if (config.cases.contains(u'c')) {
        TOstrivaleSearchOptions everything;
        everything.AllCategories = true;
        const TCaseResult c = RunCase(out, QStringLiteral("(c) no keys: every entry and every file"), search,
                                      everything, peer, config);
        out << QStringLiteral("search: memory for (c) %1 MB (goal under 300 MB)\n").arg(c.peakMB, 0, 'f', 0);
    }
    return a;
}

int RunSearchScenario(const QStringList& arguments)
{
    QTextStream out(stdout);
    TBenchConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--entries"))
            config.entries = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--runs"))
            config.runs = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--cases"))
            config.cases = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--keep"))
            config.keep = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--base"))
            config.base = arguments[i + 1];
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.entries < 1 || config.runs < 1)
        throw ETessarynError(QStringLiteral("--entries and --runs take positive numbers"));

    QTemporaryDir folder;
    if (!folder.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    const QString keptFolder = config.base.isEmpty() ? config.keep : config.base;
    const QString databaseFile = keptFolder.isEmpty() ? folder.filePath(QStringLiteral("tessaryn.db"))
                                                      : QDir(keptFolder).filePath(QStringLiteral("tessaryn.db"));
    if (!config.keep.isEmpty() && (!QDir().mkpath(config.keep) || QFileInfo::exists(databaseFile)))
        throw ETessarynError(QStringLiteral("--keep needs a folder without a tessaryn.db: ") + config.keep);
    if (!config.base.isEmpty() && !QFileInfo::exists(databaseFile))
        throw ETessarynError(QStringLiteral("--base needs a folder with a tessaryn.db made by --keep: ") + config.base);
    TGenerator gen(config.randomStart);

    TdmConnection connection(TConnectionInfo::Embedded(databaseFile));
    if (!connection.Connect(false))
        throw EDatabaseError(connection.LastConnectError());
    QElapsedTimer buildTimer;
    buildTimer.start();
    const QHash<int, QList<int>> children = config.base.isEmpty() ? BuildKnowledgeBase(connection, config, gen)
                                                                  : ReadKnowledgeBase(connection, config);
    out << QStringLiteral("search: %1 entries, %2 files, %3 categories %4 in %5 s (%6 MB file), peak %7 MB\n")
               .arg(config.entries)
               .arg(config.entries * config.filesPerEntry)
               .arg(config.categories)
               .arg(config.base.isEmpty() ? QStringLiteral("built") : QStringLiteral("read"))
               .arg(double(buildTimer.elapsed()) / 1000.0, 0, 'f', 1)
               .arg(double(QFileInfo(databaseFile).size()) / 1048576.0, 0, 'f', 0)
               .arg(BenchSupport::PeakMemoryMB(), 0, 'f', 0);
    out << QStringLiteral("search: substring index %1 MB of the file\n")
               .arg(BenchSupport::SqliteShellValue(
                        databaseFile, QStringLiteral("select round(sum(pgsize) / 1048576.0, 1) from dbstat where name like "
                                                     "'%_fts%' or name = 'ix_entryfiles_listing'")));
    out << QStringLiteral("search: peer is sqlite3 %1; its start-up (%2 ms) is not counted; median of %3 runs\n")
               .arg(BenchSupport::SqliteShellValue(databaseFile, QStringLiteral("select sqlite_version()")))
               .arg(BenchSupport::SqliteShellStartMs(databaseFile), 0, 'f', 1)
               .arg(config.runs);
    out.flush();

    // Listing every entry of a base of a million would hold gigabytes in
    // memory, as the program's confirmation warns; only asked for by name.
    constexpr int kLargestListing = 200000;
    const bool casesGiven = arguments.contains(QStringLiteral("--cases"));
    if (config.entries > kLargestListing && !casesGiven)
        config.cases.remove(u'c');

    const TCaseResult a =
        RunCases(out, connection, children, gen.Vocabulary(), {TConnectionInfo::TEngine::SQLite, databaseFile}, config);

    // The same base on PostgreSQL, when a server is named: its own figures
    // against psql running the scan's statements.
    if (const QString server = qEnvironmentVariable("TESSARYN_BENCH_PG"); !server.isEmpty()) {
        TGenerator serverGen(config.randomStart);
        BenchSupport::TBenchDatabase database(TConnectionInfo::TEngine::PostgreSQL, QString(), server);
        buildTimer.restart();
        const QHash<int, QList<int>> serverChildren = BuildKnowledgeBase(database.Connection(), config, serverGen);
        const QString peerDatabase = database.ServerConnInfo();
        out << QStringLiteral("search: PostgreSQL %1: the same base built in %2 s; peer is psql; substring indexes %3 MB\n")
                   .arg(BenchSupport::PsqlValue(peerDatabase, QStringLiteral("show server_version")))
                   .arg(double(buildTimer.elapsed()) / 1000.0, 0, 'f', 1)
                   .arg(BenchSupport::PsqlValue(peerDatabase,
                                                QStringLiteral("select round(sum(pg_relation_size(indexrelid)) / 1048576.0, 1) "
                                                               "from pg_index i join pg_class c on c.oid = i.indexrelid "
                                                               "where c.relname like '%trgm%'")));
        out.flush();
        const TCaseResult serverA = RunCases(out, database.Connection(), serverChildren, serverGen.Vocabulary(),
                                             {TConnectionInfo::TEngine::PostgreSQL, peerDatabase}, config);
        if (config.cases.contains(u'a'))
            out << QStringLiteral("search: PostgreSQL ratio=%1 ours=%2 ms peer=%3 ms\n")
                       .arg(serverA.ours / std::max(serverA.peer, 0.001), 0, 'f', 2)
                       .arg(serverA.ours, 0, 'f', 1)
                       .arg(serverA.peer, 0, 'f', 1);
    } else {
        out << QStringLiteral("search: set TESSARYN_BENCH_PG to a server's libpq connection string for PostgreSQL's figures\n");
    }
    if (config.cases.contains(u'a'))
        out << QStringLiteral("search: ratio=%1 ours=%2 ms peer=%3 ms\n")
                   .arg(a.ours / std::max(a.peer, 0.001), 0, 'f', 2)
                   .arg(a.ours, 0, 'f', 1)
                   .arg(a.peer, 0, 'f', 1);
    return 0;
}

const TBenchRegistration registration({QStringLiteral("search"),
                                       QStringLiteral("keyword search over a synthetic base of 100,000 entries "
                                                      "against the sqlite3 shell, and on PostgreSQL against psql when TESSARYN_BENCH_PG names a server [--entries N] [--runs N] [--cases abc] [--keep FOLDER] [--base FOLDER]; "
                                                      "above 200,000 entries (c) runs only when --cases names it"),
                                       RunSearchScenario});

} // namespace
