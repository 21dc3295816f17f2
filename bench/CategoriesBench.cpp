// Scenario "categories": a category tree of the size a long-kept knowledge
// base reaches (5,000 categories eight levels deep, 100,000 entries filed
// under them), as the program shows it. Timed are the load of the tree from
// the database (the category query with its entry counts, the record set and
// the category objects), the filling and expanding of the tree control, and
// the painting of one screen of the control with the current row in the
// middle. The peer of the load is a plain query reading the same rows into a
// vector; the peer of the painting is the same lines drawn as plain text;
// both are measured in the same run.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/AppResources.h"
#include "app/Errors.h"
#include "controls/BTreeView.h"
#include "db/ConnectionInfo.h"
#include "db/EngineDialect.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/FileHelpers.h"
#include "engine/FillCategoryTree.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

struct TCategoriesConfig {
    int categories = 5000;
    int entries = 100000;
    int runs = 7;
    int width = 300;
    int height = 600;
    quint32 randomStart = 20060301;
};

// How the categories spread over the eight levels: a handful at the top,
// most of them in the lower levels, as trees grow when users keep refining.
// For 5,000 categories: 10, 30, 90, 250, 500, 900, 1,400 and 1,820.
constexpr int kLevelWeights[] = {1, 3, 9, 25, 50, 90, 140, 182};
constexpr int kLevels = int(std::size(kLevelWeights));

// First words of the names, starting with many different letters (a few
// in lower case or with accents), so that the name order of the siblings
// is nothing like the order in which they were made.
const char* const kNameWords[] = {
    "Archive", "Budget", "Contracts", "Design", "Events", "Finance", "Gardening", "Health", "Ideas", "Journal",
    "Kitchen", "Letters", "Music", "Notes", "Offers", "Projects", "Questions", "Recipes", "Software", "Travel",
    "Universities", "Vehicles", "Work", "Xylography", "Yoga", "Zoology", "art", "books", "clients", "drafts",
    "Éducation", "Ärzte", "Übersetzungen", "Öffentliches", "Θάλασσα", "Photos", "Manuals", "Taxes", "Reports",
    "Family", "Insurance", "Hardware", "Genealogy", "Networks", "Languages", "Cooking", "Science", "History"};

// The statement the gateway runs for the categories, written out for the
// peer: the gateway keeps its text to itself, and the peer must read the
// very same rows with the very same per-category counts.
const QString kCategoriesStatement = QStringLiteral(
    "select categories.*, \r\n"
    "(select count(entries.category) from entries where entries.category = categories.code) as Occurences\r\n"
    "from categories ");

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

QList<int> LevelSizes(int categories)
{
    int weightSum = 0;
    for (const int weight : kLevelWeights)
        weightSum += weight;
    QList<int> sizes;
    int placed = 0;
    for (int level = 0; level < kLevels - 1; ++level) {
        const int size = std::max(1, int(qint64(categories) * kLevelWeights[level] / weightSum));
        sizes.append(size);
        placed += size;
    }
    sizes.append(categories - placed);
    return sizes;
}

// Writes the base in one transaction straight through SQL, with codes
// reserved from the identifier counters, so the database stays one the
// program could go on working with. Returns the depth of the tree.
int BuildBase(TdmConnection& connection, const TCategoriesConfig& config)
{
    TSchemaBuilder(connection).Create(false);
    const QList<int> sizes = LevelSizes(config.categories);
    const int firstCategory = connection.ReserveNextRecIDs(QStringLiteral("categories"), config.categories);
    const int firstEntry = connection.ReserveNextRecIDs(QStringLiteral("entries"), config.entries);
    std::mt19937 rng(config.randomStart);
    const auto pick = [&rng](int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng); };

    connection.BeginTransaction();
    QSqlQuery category = Prepared(connection, QStringLiteral(
        "insert into categories (code, parent, name, description, GUID) values (?, ?, ?, ?, ?)"));
    // Level by level; every category hangs below a category of the level
    // above, drawn at random, so some have many children and some none.
    int levelStart = firstCategory;
    int previousStart = 0;
    int previousSize = 0;
    for (int level = 0; level < sizes.size(); ++level) {
        for (int i = 0; i < sizes[level]; ++i) {
            const int code = levelStart + i;
            const int parent = level == 0 ? 0 : previousStart + pick(0, previousSize - 1);
            category.bindValue(0, code);
            category.bindValue(1, parent);
            category.bindValue(2, QStringLiteral("%1 %2")
                                      .arg(QString::fromUtf8(kNameWords[pick(0, int(std::size(kNameWords)) - 1)]))
                                      .arg(code));
            category.bindValue(3, code % 3 == 0 ? QStringLiteral("Everything about %1").arg(code) : QString());
            category.bindValue(4, NewGuidText());
            Exec(category);
        }
        previousStart = levelStart;
        previousSize = sizes[level];
        levelStart += sizes[level];
    }

    const TEngineDialect& dialect = connection.Dialect();
    QSqlQuery entry = Prepared(connection, QStringLiteral(
        "insert into entries (code, DateCreated, DateModified, category, Title, PasswordProtected) "
        "values (?, ?, ?, ?, ?, 0)"));
    const QDate firstDay(2000, 1, 1);
    for (int i = 0; i < config.entries; ++i) {
        const QDate created = firstDay.addDays(pick(0, 9000));
        entry.bindValue(0, firstEntry + i);
        entry.bindValue(1, dialect.DateTimeParam(QDateTime(created, QTime(0, 0))));
        entry.bindValue(2, dialect.DateTimeParam(QDateTime(created.addDays(pick(0, 400)), QTime(0, 0))));
        entry.bindValue(3, firstCategory + pick(0, config.categories - 1));
        entry.bindValue(4, QStringLiteral("%1 note %2")
                               .arg(QString::fromUtf8(kNameWords[pick(0, int(std::size(kNameWords)) - 1)]))
                               .arg(i + 1));
        Exec(entry);
    }
    connection.Commit();
    QSqlQuery checkpoint(connection.Database());
    // Both the program and the peer read the main file, not a long log.
    if (!checkpoint.exec(QStringLiteral("pragma wal_checkpoint(truncate)")))
        throw EDatabaseError(checkpoint.lastError().text());
    return int(sizes.size());
}

// One row of the peer: what a hand-written program keeps of a category.
struct TPeerRow {
    int code;
    int parent;
    QString name;
    QString description;
    QString guid;
    int occurences;
};

std::vector<TPeerRow> PeerLoad(TdmConnection& connection)
{
    QSqlQuery query(connection.Database());
    query.setForwardOnly(true);
    if (!query.exec(kCategoriesStatement))
        throw EDatabaseError(query.lastError().text());
    const QSqlRecord record = query.record();
    const int code = record.indexOf(QStringLiteral("code"));
    const int parent = record.indexOf(QStringLiteral("parent"));
    const int name = record.indexOf(QStringLiteral("name"));
    const int description = record.indexOf(QStringLiteral("description"));
    const int guid = record.indexOf(QStringLiteral("GUID"));
    const int occurences = record.indexOf(QStringLiteral("Occurences"));
    std::vector<TPeerRow> rows;
    while (query.next())
        rows.push_back({query.value(code).toInt(), query.value(parent).toInt(), query.value(name).toString(),
                        query.value(description).toString(), query.value(guid).toString(),
                        query.value(occurences).toInt()});
    if (query.lastError().isValid())
        throw EDatabaseError(query.lastError().text());
    return rows;
}

int CountAll(const TCategories& list)
{
    int count = 0;
    TCateroryRecursiveIterator it(list);
    for (it.First(); !it.IsDone(); it.Next())
        ++count;
    return count;
}

int RunCategoriesScenario(const QStringList& arguments)
{
    QTextStream out(stdout);
    TCategoriesConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--categories"))
            config.categories = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--entries"))
            config.entries = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--runs"))
            config.runs = arguments[i + 1].toInt();
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.categories < kLevels || config.entries < 1 || config.runs < 1)
        throw ETessarynError(QStringLiteral("--categories takes at least %1, --entries and --runs positive numbers")
                                 .arg(kLevels));
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw ETessarynError(QStringLiteral("the categories scenario needs the widget application"));

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
    const int depth = BuildBase(connection, config);
    const int paintRuns = std::max(config.runs, 20);
    out << QStringLiteral("categories: %1 categories %2 levels deep, %3 entries built in %4 s; "
                          "median of %5 runs (paint %6); tree %7x%8\n")
               .arg(config.categories)
               .arg(depth)
               .arg(config.entries)
               .arg(double(buildTimer.elapsed()) / 1000.0, 0, 'f', 1)
               .arg(config.runs)
               .arg(paintRuns)
               .arg(config.width)
               .arg(config.height);
    out.flush();

    BenchSupport::TSilentDesktop desktop;
    TdmMain main(connection, desktop);
    if (!main.IsInitialized())
        throw ETessarynError(main.InitializationError());

    // The load: a root list made with the gateway, as the data module makes
    // it. Each run starts from a new list, so freeing the former tree is
    // not counted.
    auto categories = std::make_unique<TCategories>(&connection);
    categories->Load(0);
    const double loadMs = BenchSupport::TimeMedian(
        config.runs, [&] { categories->Load(0); },
        [&] { categories = std::make_unique<TCategories>(&connection); });
    const int loaded = CountAll(*categories);
    if (loaded != config.categories)
        throw ETessarynError(QStringLiteral("the tree holds %1 categories").arg(loaded));
    qint64 occurences = 0;
    {
        TCateroryRecursiveIterator it(*categories);
        for (it.First(); !it.IsDone(); it.Next())
            occurences += it.CurrentItem()->Occurences();
    }
    if (occurences != config.entries)
        throw ETessarynError(QStringLiteral("the categories count %1 entries").arg(occurences));

    // Its peer: the same statement, every row read into a vector, no tree.
    std::vector<TPeerRow> peerRows = PeerLoad(connection);
    const double peerLoadMs = BenchSupport::TimeMedian(config.runs, [&] { peerRows = PeerLoad(connection); },
                                         [&] { peerRows.clear(); });
    if (int(peerRows.size()) != config.categories)
        throw ETessarynError(QStringLiteral("the peer read %1 categories").arg(peerRows.size()));

    // The tree control set up as the category browser sets it up, with the
    // scheme's colours and the current category in bold.
    QWidget host;
    host.resize(config.width, config.height);
    auto* column = new QVBoxLayout(&host);
    column->setContentsMargins(0, 0, 0, 0);
    auto* tree = new TBTreeView(&host);
    column->addWidget(tree);
    tree->SetDefaultRowHeight(16);
    tree->SetShowLines(true);
    tree->SetShowBitmaps(false);
    tree->SetLevelIndentation(20);
    tree->SetAllowNodeMoving(false);
    tree->SetMultiSelect(false);
    tree->SetAllowSelection(false);
    tree->setFrameShape(QFrame::NoFrame);
    tree->OnGetFont = [tree](TBTreeViewNode* node, QFont& font) { font.setBold(node == tree->CurrentNode()); };
    ApplySchemeToCategoryWindow(main, host, *tree);
    host.show();
    QApplication::processEvents();

    // The fill: every category a node, then every node expanded. Each run
    // starts from an empty, settled tree; what the event loop does after the
    // fill (the list's layout and the first paint) is reported beside it.
    QList<double> fillSamples;
    QList<double> settleSamples;
    for (int i = 0; i < config.runs + 1; ++i) {
        tree->Clear();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        FillCategoryTree(*tree, *categories);
        tree->ExpandAll();
        const double fill = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        QApplication::processEvents();
        const double settle = double(timer.nsecsElapsed()) / 1e6;
        if (i == 0)
            continue;   // warm-up
        fillSamples.append(fill);
        settleSamples.append(settle);
    }
    const double fillMs = BenchSupport::Median(fillSamples);
    const double settleMs = BenchSupport::Median(settleSamples);
    if (tree->RowCount() != config.categories)
        throw ETessarynError(QStringLiteral("the expanded tree shows %1 rows").arg(tree->RowCount()));

    // One screen with the current row in the middle of the tree.
    const int middle = tree->RowCount() / 2;
    tree->SetCurrentRow(middle);
    tree->scrollTo(tree->model()->index(middle, 0), QAbstractItemView::PositionAtCenter);
    QApplication::processEvents();
    QWidget* viewport = tree->viewport();
    const int firstRow = tree->RowAt(QPoint(0, 0));
    int lastRow = tree->RowAt(QPoint(0, viewport->height() - 1));
    if (lastRow < 0)
        lastRow = tree->RowCount() - 1;
    if (firstRow < 0 || firstRow > middle || lastRow < middle)
        throw ETessarynError(QStringLiteral("the middle row %1 is not on the screen (%2-%3)")
                                 .arg(middle)
                                 .arg(firstRow)
                                 .arg(lastRow));
    QImage screen(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    const double paintMs = BenchSupport::TimeMedian(paintRuns, [&] {
        QPainter painter(&screen);
        viewport->render(&painter);
    });

    // Its peer: the same captions as plain lines of text, in the same font
    // and row height, into an image of the same size.
    QStringList captions;
    for (int row = firstRow; row <= lastRow; ++row)
        captions.append(tree->NodeCaption(tree->NodeAtRow(row)));
    const int rowHeight = tree->DefaultRowHeight();
    const QFont font = tree->font();
    QImage plain(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    const double peerPaintMs = BenchSupport::TimeMedian(paintRuns, [&] {
        QPainter painter(&plain);
        painter.fillRect(plain.rect(), Qt::white);
        painter.setFont(font);
        painter.setPen(Qt::black);
        for (int i = 0; i < captions.size(); ++i)
            painter.drawText(QRect(0, i * rowHeight, plain.width(), rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             captions[i]);
    });

    out << QStringLiteral("categories: load %1 ms, peer (plain query into a vector) %2 ms, ratio %3 "
                          "(goal under 150 ms)\n")
               .arg(loadMs, 0, 'f', 1)
               .arg(peerLoadMs, 0, 'f', 1)
               .arg(loadMs / std::max(peerLoadMs, 0.001), 0, 'f', 2);
    out << QStringLiteral("categories: fill and expand %1 ms (goal under 150 ms); the event loop after it %2 ms\n")
               .arg(fillMs, 0, 'f', 1)
               .arg(settleMs, 0, 'f', 1);
    out << QStringLiteral("categories: one screen (%1 rows, from row %2) painted in %3 ms, peer (plain text lines) "
                          "%4 ms, ratio %5 (goal under 16 ms); peak %6 MB\n")
               .arg(captions.size())
               .arg(firstRow)
               .arg(paintMs, 0, 'f', 2)
               .arg(peerPaintMs, 0, 'f', 2)
               .arg(paintMs / std::max(peerPaintMs, 0.001), 0, 'f', 2)
               .arg(BenchSupport::PeakMemoryMB(), 0, 'f', 0);
    out << QStringLiteral("categories: load=%1 ms fill=%2 ms paint=%3 ms\n")
               .arg(loadMs, 0, 'f', 1)
               .arg(fillMs, 0, 'f', 1)
               .arg(paintMs, 0, 'f', 1);
    out.flush();
    return 0;
}

const TBenchRegistration registration({QStringLiteral("categories"),
                                       QStringLiteral("a tree of 5,000 categories 8 levels deep over 100,000 "
                                                      "entries: load, fill and expand, one screen painted "
                                                      "[--categories N] [--entries N] [--runs N]"),
                                       RunCategoriesScenario});

} // namespace
