// Scenario "bookmarks": a bookmark set of 10,000 entries in a base of twice
// as many. Timed are the listing of the set in the entry browser, the move of
// its last bookmark to the top and the removal of 1,000 marked bookmarks (the
// operations the entry browser runs for a drop and for "Remove bookmarks").
// The peer of the listing is a keyword search through the same browser that
// finds the same 10,000 entries, measured in the same run.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/AppResources.h"
#include "app/Errors.h"
#include "browsing/dBookmarkSets.h"
#include "browsing/fEntryBrowser.h"
#include "db/ConnectionInfo.h"
#include "db/EngineDialect.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "search/SearchOptions.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <random>

namespace {

struct TBookmarksConfig {
    int bookmarks = 10000;
    int removed = 1000;
    int runs = 5;
};

constexpr int kSet = 100;
// Only the bookmarked entries carry this word, so that the keyword search
// finds exactly the entries the set lists.
const QString kMarkWord = QStringLiteral("lesezeichen");

void Exec(QSqlQuery& query)
{
    if (!query.exec())
        throw EDatabaseError(query.lastError().text());
}

void Exec(TdmConnection& connection, const QString& sql)
{
    QSqlQuery query(connection.Database());
    if (!query.exec(sql))
        throw EDatabaseError(query.lastError().text());
}

// Twice as many entries as bookmarks, two files each; every other entry is
// in the set, in a shuffled order.
QList<int> BuildBase(TdmConnection& connection, const TBookmarksConfig& config)
{
    static const char* const words[] = {"project", "report", "meeting", "budget", "travel", "recipe", "letter",
                                        "invoice", "garden", "music", "theory", "server", "backup", "Straße",
                                        "θάλασσα", "summary", "draft", "photo", "manual", "contract"};
    std::mt19937 rng(20060301);
    const auto text = [&](int count) {
        QStringList result;
        for (int i = 0; i < count; ++i)
            result.append(QString::fromUtf8(words[rng() % std::size(words)]));
        return result.join(QLatin1Char(' '));
    };
    TSchemaBuilder(connection).Create(false);
    const TEngineDialect& dialect = connection.Dialect();
    connection.BeginTransaction();
    Exec(connection, QStringLiteral("insert into categories (code, parent, name) values (1, 0, 'Everything')"));
    QSqlQuery entry(connection.Database());
    entry.prepare(QStringLiteral("insert into entries (code, DateCreated, DateModified, category, Title, Keywords, "
                                 "PasswordProtected, Comments) values (?, ?, ?, 1, ?, ?, 0, ?)"));
    QSqlQuery file(connection.Database());
    file.prepare(QStringLiteral("insert into entryfiles (code, entry, Name, Type, FileSize) values (?, ?, ?, 1, ?)"));
    QList<int> marked;
    const int entries = 2 * config.bookmarks;
    for (int code = 1; code <= entries; ++code) {
        const bool inSet = code % 2 == 0;
        const QDate created = QDate(2000, 1, 1).addDays(code % 9000);
        entry.addBindValue(code);
        entry.addBindValue(dialect.DateTimeParam(QDateTime(created, QTime(0, 0))));
        entry.addBindValue(dialect.DateTimeParam(QDateTime(created.addDays(code % 400), QTime(0, 0))));
        entry.addBindValue(text(3 + code % 6));
        entry.addBindValue(inSet ? text(2) + u' ' + kMarkWord : text(3));
        entry.addBindValue(code % 3 == 1 ? text(12 + code % 30) : QString());
        Exec(entry);
        for (int f = 0; f < 2; ++f) {
            file.addBindValue(2 * code + f);
            file.addBindValue(code);
            file.addBindValue(QString(text(1) + QStringLiteral("_%1.txt").arg(f)));
            file.addBindValue(100 + code % 50000);
            Exec(file);
        }
        if (inSet)
            marked.append(code);
    }
    Exec(connection, QStringLiteral("insert into bookmarkSets (code, GUID, name, description) values (%1, "
                                    "'00000000-0000-0000-0000-000000000100', 'Reading', '')")
                         .arg(kSet));
    std::shuffle(marked.begin(), marked.end(), rng);
    connection.Commit();
    return marked;
}

// The set as it was built: the entries in their order, numbered from 1.
void StoreSet(TdmConnection& connection, const QList<int>& order)
{
    connection.BeginTransaction();
    try {
        Exec(connection, QStringLiteral("delete from bookmarks where bookmarkset = %1").arg(kSet));
        QSqlQuery insert(connection.Database());
        insert.prepare(QStringLiteral("insert into bookmarks (bookmarkset, entry, ordering) values (?, ?, ?)"));
        for (int i = 0; i < order.size(); ++i) {
            insert.addBindValue(kSet);
            insert.addBindValue(order[i]);
            insert.addBindValue(i + 1);
            Exec(insert);
        }
        connection.Commit();
    } catch (...) {
        connection.Rollback();
        throw;
    }
    QSqlQuery settle(connection.Database());
    const bool embedded = connection.Info().engine == TConnectionInfo::TEngine::SQLite;
    if (!settle.exec(embedded ? QStringLiteral("pragma wal_checkpoint(truncate)") : QStringLiteral("analyze")))
        throw EDatabaseError(settle.lastError().text());
}

// The entries of the set in their stored order.
QList<int> StoredOrder(TdmConnection& connection)
{
    QSqlQuery query(connection.Database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select entry from bookmarks where bookmarkset = %1 order by ordering").arg(kSet)))
        throw EDatabaseError(query.lastError().text());
    QList<int> entries;
    while (query.next())
        entries.append(query.value(0).toInt());
    return entries;
}

struct TBookmarksResult {
    double list = 0;
    double reorder = 0;
    double remove = 0;
    double search = 0;
};

TBookmarksResult RunOn(QTextStream& out, const QString& label, TdmConnection& connection,
                       const TBookmarksConfig& config)
{
    QElapsedTimer buildTimer;
    buildTimer.start();
    const QList<int> order = BuildBase(connection, config);
    StoreSet(connection, order);
    out << QStringLiteral("bookmarks: %1: %2 entries, %3 of them in the set, built in %4 s\n")
               .arg(label)
               .arg(2 * config.bookmarks)
               .arg(config.bookmarks)
               .arg(double(buildTimer.elapsed()) / 1000.0, 0, 'f', 1);
    out.flush();

    BenchSupport::TSilentDesktop desktop;
    TdmMain main(connection, desktop);
    if (!main.IsInitialized())
        throw ETessarynError(main.InitializationError());
    QWidget host;
    host.resize(1000, 800);
    TfrmEntryBrowser* browser = CreateEntryBrowser(main, &host);
    host.show();
    QApplication::processEvents();
    const auto shows = [&](const QString& what) {
        if (browser->ResultCount() != config.bookmarks)
            throw ETessarynError(QStringLiteral("%1 shows %2 entries").arg(what).arg(browser->ResultCount()));
    };
    TBookmarksResult result;

    // The listing and its peer, each once before the timed runs.
    const auto list = [&] {
        browser->BrowseBookmarkSet(kSet);
        QApplication::processEvents();
    };
    list();
    result.list = BenchSupport::TimeMedian(config.runs, list);
    shows(QStringLiteral("the set"));
    TOstrivaleSearchOptions keyword;
    keyword.Assign(main.SearchOptions());
    keyword.Keys = kMarkWord;
    keyword.AllCategories = true;
    const auto search = [&] {
        browser->DoSearch(&keyword);
        QApplication::processEvents();
    };
    search();
    result.search = BenchSupport::TimeMedian(config.runs, search);
    shows(QStringLiteral("the search"));

    // The last bookmark to the top, as a drop on the first row moves it.
    const int last = config.bookmarks - 1;
    result.reorder = BenchSupport::TimeMedian(config.runs, [&] {
        if (!MoveBookmark(connection, desktop, kSet, last, 0))
            throw ETessarynError(QStringLiteral("the bookmark was not moved"));
    });
    QList<int> rotated = order;
    for (int i = 0; i < config.runs; ++i)
        rotated.prepend(rotated.takeLast());
    if (StoredOrder(connection) != rotated)
        throw ETessarynError(QStringLiteral("the set is not in the order the moves give"));

    // 1,000 bookmarks marked throughout the set, removed at once; the set is
    // whole again before every run.
    QList<int> marked;
    for (int i = 0; i < config.removed; ++i)
        marked.append(order[qsizetype(i) * order.size() / config.removed]);
    result.remove = BenchSupport::TimeMedian(
        config.runs,
        [&] {
            if (!RemoveBookmarks(connection, desktop, marked, kSet))
                throw ETessarynError(QStringLiteral("the bookmarks were not removed"));
        },
        [&] { StoreSet(connection, order); });
    QList<int> kept = order;
    for (const int entry : marked)
        kept.removeOne(entry);
    if (StoredOrder(connection) != kept)
        throw ETessarynError(QStringLiteral("the set does not hold the bookmarks that were kept, in their order"));

    out << QStringLiteral("bookmarks: %1: list %2 ms, keyword search of the same entries %3 ms (list %4 x search, "
                          "goal within 1.5x); reorder %5 ms, remove %6 ms (goals under 500 ms); median of %7 runs\n")
               .arg(label)
               .arg(result.list, 0, 'f', 1)
               .arg(result.search, 0, 'f', 1)
               .arg(result.list / std::max(result.search, 0.001), 0, 'f', 2)
               .arg(result.reorder, 0, 'f', 1)
               .arg(result.remove, 0, 'f', 1)
               .arg(config.runs);
    out.flush();
    return result;
}

QString LastLine(const TBookmarksResult& r)
{
    return QStringLiteral("bookmarks: list=%1 ms reorder=%2 ms remove=%3 ms search=%4 ms\n")
        .arg(r.list, 0, 'f', 1)
        .arg(r.reorder, 0, 'f', 1)
        .arg(r.remove, 0, 'f', 1)
        .arg(r.search, 0, 'f', 1);
}

int RunBookmarksScenario(const QStringList& arguments)
{
    QTextStream out(stdout);
    TBookmarksConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--bookmarks"))
            config.bookmarks = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--runs"))
            config.runs = arguments[i + 1].toInt();
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.bookmarks < 10 || config.runs < 1)
        throw ETessarynError(QStringLiteral("--bookmarks takes 10 or more, --runs a positive number"));
    config.removed = config.bookmarks / 10;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw ETessarynError(QStringLiteral("the bookmarks scenario needs the widget application"));

    QTemporaryDir folder;
    if (!folder.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    qputenv("TESSARYN_HOME", folder.path().toUtf8() + '/');
    TAppResources::Register();

    TBookmarksResult embedded;
    {
        BenchSupport::TBenchDatabase database(TConnectionInfo::TEngine::SQLite, folder.path() + u'/', QString());
        embedded = RunOn(out, QStringLiteral("SQLite"), database.Connection(), config);
    }
    if (const QString server = qEnvironmentVariable("TESSARYN_BENCH_PG"); !server.isEmpty()) {
        BenchSupport::TBenchDatabase database(TConnectionInfo::TEngine::PostgreSQL, QString(), server);
        const TBookmarksResult onServer = RunOn(out, QStringLiteral("PostgreSQL"), database.Connection(), config);
        out << QStringLiteral("bookmarks: PostgreSQL ") + LastLine(onServer).mid(QStringLiteral("bookmarks: ").size());
    } else {
        out << QStringLiteral("bookmarks: set TESSARYN_BENCH_PG to a server's libpq connection string for "
                              "PostgreSQL's figures\n");
    }
    out << LastLine(embedded);
    out.flush();
    return 0;
}

const TBenchRegistration registration({QStringLiteral("bookmarks"),
                                       QStringLiteral("a bookmark set of 10,000 entries: listing it against a keyword "
                                                      "search of the same entries, moving the last bookmark to the "
                                                      "top, removing 1,000 marked bookmarks; also on PostgreSQL when "
                                                      "TESSARYN_BENCH_PG names a server [--bookmarks N] [--runs N]"),
                                       RunBookmarksScenario});

} // namespace
