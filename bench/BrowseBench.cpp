// Scenario "browse": the entry browser showing a keyless result of a large
// knowledge base, offscreen. Timed are the load of the result into the
// browser, a re-sort, and the painting of one screen of cards in the middle
// of the result; the peer of the load is the search module's own RunSearch of
// the same result, measured in the same run.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/AppResources.h"
#include "app/Errors.h"
#include "browsing/EntryGrid.h"
#include "browsing/fEntryBrowser.h"
#include "db/ConnectionInfo.h"
#include "db/EngineDialect.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "search/SearchOptions.h"
#include "search/dmSearch.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

struct TBrowseConfig {
    int entries = 100000;
    int filesPerEntry = 3;
    int runs = 5;
    int width = 1000;
    int height = 800;
};

// Texts of plausible length and variety, the same for every run: a title of
// a few words, keywords, a comment on some entries, three files each.
QString Words(quint32& state, int count)
{
    static const char* const words[] = {"project", "report", "meeting", "budget", "travel", "recipe", "letter",
                                        "invoice", "garden", "music", "theory", "server", "backup", "Straße",
                                        "θάλασσα", "summary", "draft", "photo", "manual", "contract"};
    QStringList result;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        result.append(QString::fromUtf8(words[(state >> 16) % std::size(words)]));
    }
    return result.join(QLatin1Char(' '));
}

void Exec(QSqlQuery& query)
{
    if (!query.exec())
        throw EDatabaseError(query.lastError().text());
}

void BuildBase(TdmConnection& connection, const TBrowseConfig& config)
{
    TSchemaBuilder(connection).Create(false);
    connection.BeginTransaction();
    QSqlQuery category(connection.Database());
    category.prepare(QStringLiteral("insert into categories (code, parent, name) values (?, 0, ?)"));
    for (int code = 1; code <= 20; ++code) {
        category.addBindValue(code);
        category.addBindValue(QStringLiteral("Category %1").arg(code));
        Exec(category);
    }
    QSqlQuery entry(connection.Database());
    entry.prepare(QStringLiteral("insert into entries (code, DateCreated, DateModified, category, Title, Keywords, "
                                 "PasswordProtected, source, Comments) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery file(connection.Database());
    file.prepare(QStringLiteral("insert into entryfiles (code, entry, Name, Type, FileSize) values (?, ?, ?, 1, ?)"));
    const TEngineDialect& dialect = connection.Dialect();
    quint32 state = 20060301;
    int fileCode = 0;
    for (int code = 1; code <= config.entries; ++code) {
        const QDate created = QDate(2000, 1, 1).addDays(code % 9000);
        entry.addBindValue(code);
        entry.addBindValue(dialect.DateTimeParam(QDateTime(created, QTime(0, 0))));
        entry.addBindValue(dialect.DateTimeParam(QDateTime(created.addDays(code * 7 % 400), QTime(0, 0))));
        entry.addBindValue(1 + code % 20);
        entry.addBindValue(Words(state, 3 + code % 6));
        entry.addBindValue(Words(state, 2 + code % 4));
        entry.addBindValue(code % 20 == 0 ? 1 : 0);
        entry.addBindValue(code % 3 == 0 ? QString(QStringLiteral("https://example.org/") + QString::number(code)) : QString());
        entry.addBindValue(code % 3 == 1 ? Words(state, 12 + code % 30) : QString());
        Exec(entry);
        for (int f = 0; f < config.filesPerEntry; ++f) {
            file.addBindValue(++fileCode);
            file.addBindValue(code);
            file.addBindValue(QString(Words(state, 1) + QStringLiteral("_%1.txt").arg(f)));
            file.addBindValue(100 + fileCode % 50000);
            Exec(file);
        }
    }
    connection.Commit();
}

int RunBrowseScenario(const QStringList& arguments)
{
    QTextStream out(stdout);
    TBrowseConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--entries"))
            config.entries = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--runs"))
            config.runs = arguments[i + 1].toInt();
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.entries < 1 || config.runs < 1)
        throw ETessarynError(QStringLiteral("--entries and --runs take positive numbers"));
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw ETessarynError(QStringLiteral("the browse scenario needs the widget application"));

    QTemporaryDir folder;
    if (!folder.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    qputenv("TESSARYN_HOME", folder.path().toUtf8() + '/');
    TAppResources::Register();
    TdmConnection connection(TConnectionInfo::Embedded(folder.filePath(QStringLiteral("tessaryn.db"))));
    if (!connection.Connect(false))
        throw EDatabaseError(connection.LastConnectError());
    QElapsedTimer buildTimer;
    buildTimer.start();
    BuildBase(connection, config);
    out << QStringLiteral("browse: %1 entries, %2 files built in %3 s; median of %4 runs; viewport %5x%6\n")
               .arg(config.entries)
               .arg(config.entries * config.filesPerEntry)
               .arg(double(buildTimer.elapsed()) / 1000.0, 0, 'f', 1)
               .arg(config.runs)
               .arg(config.width)
               .arg(config.height);
    out.flush();

    BenchSupport::TSilentDesktop desktop;
    TdmMain main(connection, desktop);
    if (!main.IsInitialized())
        throw ETessarynError(main.InitializationError());
    TOstrivaleSearchOptions everything;
    everything.AllCategories = true;

    // The peer: the search module alone, as the search scenario runs it.
    double searchMs = 0;
    {
        TdmSearch search(connection, desktop);
        search.SortField = [&main] { return main.EntriesSortField(); };
        search.RunSearch(everything);
        searchMs = BenchSupport::TimeMedian(config.runs, [&] { search.RunSearch(everything); });
    }

    QWidget host;
    host.resize(config.width, config.height);
    TfrmEntryBrowser* browser = CreateEntryBrowser(main, &host);
    host.show();
    QApplication::processEvents();
    TEntryGrid* grid = browser->Grid();

    // The load: the search through the browser, the grid rebuilt, the files
    // of the first entry listed and the first screen painted.
    browser->DoSearch(&everything);
    const double loadMs = BenchSupport::TimeMedian(config.runs, [&] {
        browser->DoSearch(&everything);
        QApplication::processEvents();
    });
    if (browser->ResultCount() != config.entries)
        throw ETessarynError(QStringLiteral("the browser shows %1 entries").arg(browser->ResultCount()));

    // Re-sorts from the reverse creation order to each other order; the
    // slowest one counts.
    const QList<std::pair<QString, QAction*>> sorts = {{QStringLiteral("title"), browser->acEN_SortByTitle},
                                                       {QStringLiteral("modified"), browser->acEN_SortByLastModifiedDesc},
                                                       {QStringLiteral("creation"), browser->acEN_SortByCreationOrderAsc}};
    double resortMs = 0;
    QStringList resortTexts;
    for (const auto& [name, action] : sorts) {
        QAction* sort = action;
        const double ms = BenchSupport::TimeMedian(
            config.runs,
            [&] {
                sort->trigger();
                QApplication::processEvents();
            },
            [&] { browser->acEN_SortByCreationOrderDesc->trigger(); });
        resortTexts.append(QStringLiteral("%1 %2 ms").arg(name).arg(ms, 0, 'f', 1));
        resortMs = std::max(resortMs, ms);
    }

    // One screen of cards in the middle of the result, one of them expanded
    // with its details, into an image as large as the viewport.
    grid->SetCurrentRow(config.entries / 2);
    grid->ToggleExpansion(config.entries / 2);
    grid->SetTopRow(config.entries / 2 - 10);
    QApplication::processEvents();
    QImage screen(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const double paintMs = BenchSupport::TimeMedian(std::max(config.runs, 20), [&] {
        QPainter painter(&screen);
        grid->viewport()->render(&painter);
    });
    const int rowsPainted = grid->viewport()->height() / grid->DefaultRowHeight();

    out << QStringLiteral("browse: RunSearch of the same result %1 ms (peer)\n").arg(searchMs, 0, 'f', 1);
    out << QStringLiteral("browse: load %1 ms = %2 x RunSearch (goal within 2x)\n")
               .arg(loadMs, 0, 'f', 1)
               .arg(loadMs / std::max(searchMs, 0.001), 0, 'f', 2);
    out << QStringLiteral("browse: re-sort %1 (goal under 300 ms)\n").arg(resortTexts.join(QStringLiteral(", ")));
    out << QStringLiteral("browse: one screen (about %1 cards) painted in %2 ms (goal under 16 ms); peak %3 MB\n")
               .arg(rowsPainted)
               .arg(paintMs, 0, 'f', 2)
               .arg(BenchSupport::PeakMemoryMB(), 0, 'f', 0);
    out << QStringLiteral("browse: load=%1 ms resort=%2 ms paint=%3 ms\n")
               .arg(loadMs, 0, 'f', 1)
               .arg(resortMs, 0, 'f', 1)
               .arg(paintMs, 0, 'f', 2);
    out.flush();
    return 0;
}

const TBenchRegistration registration({QStringLiteral("browse"),
                                       QStringLiteral("the entry browser with a keyless result of 100,000 entries, "
                                                      "offscreen: load, re-sort, one screen painted [--entries N] "
                                                      "[--runs N]"),
                                       RunBrowseScenario});

} // namespace
