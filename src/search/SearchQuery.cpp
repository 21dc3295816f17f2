#include "search/SearchQuery.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/Schema.h"
#include "db/dServerData.h"
#include "search/SearchKeyParser.h"
#include "search/SearchOptions.h"

#include <QDateTime>
#include <QStringList>

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// "5, 8,9" -> "5,8,9"; an empty text gives an empty list. Anything that is
// not a 32-bit integer is refused: the codes are written into the statement.
QString CheckedCategoryCodes(const QString& text)
{
    QStringList codes;
    if (text.trimmed().isEmpty())
        return QString();
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int code = part.trimmed().toInt(&ok, 10);
        if (!ok)
            throw EDatabaseError(QStringLiteral("'%1' is not a valid list of category codes").arg(text));
        codes.append(QString::number(code));
    }
    return codes.join(QLatin1Char(','));
}

// The searched entry columns in the order the condition lists them.
QString EntryFields(const QVariantList& request)
{
    const std::pair<int, const char*> columns[] = {
        {srSearchTitles, "entries.title"},   {srSearchKeywords, "entries.keywords"},
        {srSearchComments, "entries.comments"}, {srSearchSource, "entries.source"},
        {srSearchCategoryNames, "categories.name"},
    };
    QStringList fields;
    for (const auto& [index, column] : columns)
        if (request.at(index).toBool())
            fields.append(QString::fromLatin1(column));
    return fields.join(QLatin1Char(','));
}

} // namespace

TSearchQuery::TSearchQuery(const TEngineDialect& dialect, TSearchPath path) : m_dialect(dialect), m_path(path) {}

QString TSearchQuery::IndexedKeyCondition(const QString& key, const QStringList& columns, QVariantList& params) const
{
    // "%" and "_" keep their wildcard meaning, which the index knows nothing
    // of; a shorter key has no trigram to look up.
    if (key.contains(QLatin1Char('%')) || key.contains(QLatin1Char('_'))
        || key.toUcs4().size() < TEngineDialect::MinIndexedKeyLength)
        return QString();
    const TTableDef* entries = Schema::FindTable(QStringLiteral("entries"));
    const TTableDef* files = Schema::FindTable(QStringLiteral("entryfiles"));
    QStringList entryColumns, fileColumns;
    bool categoryNames = false;
    const auto searched = [](const TTableDef* table, const QString& column) -> QString {
        for (const QString& c : table->searchedColumns)
            if (c.compare(column, Qt::CaseInsensitive) == 0)
                return c;
        return QString();
    };
    for (const QString& qualified : columns) {
        const QString table = qualified.section(QLatin1Char('.'), 0, 0);
        const QString column = qualified.section(QLatin1Char('.'), 1);
        if (table.compare(entries->name, Qt::CaseInsensitive) == 0 && !searched(entries, column).isEmpty())
            entryColumns << searched(entries, column);
        else if (table.compare(files->name, Qt::CaseInsensitive) == 0 && !searched(files, column).isEmpty())
            fileColumns << searched(files, column);
        else if (qualified.compare(QStringLiteral("categories.name"), Qt::CaseInsensitive) == 0)
            categoryNames = true;
        else
            return QString();
    }

    // Each part is a set of rows the engine looks up once, instead of a
    // comparison made on every row; together they find what the
    // comparisons of the scan find.
    QStringList parts;
    const auto rowsOf = [&](const TTableDef* table, const QStringList& searchedColumns, const QString& key) {
        const TEngineDialect::TSqlFragment rows = m_dialect.SearchIndexRows(*table, searchedColumns, key);
        params.append(rows.params);
        return rows.sql;
    };
    if (!entryColumns.isEmpty())
        parts << QStringLiteral("entries.code in (") + rowsOf(entries, entryColumns, key) + QLatin1Char(')');
    if (categoryNames) {
        // The categories are few: their names are read, not indexed. An
        // entry of no category is in no category's set, as the joined
        // name of no category matches nothing.
        parts << QStringLiteral("entries.category in (select code from categories where ")
                     + m_dialect.LikeCondition(QStringLiteral("categories.name"), QStringLiteral("?"))
                     + QLatin1Char(')');
        params.append(QString(QLatin1Char('%') + key + QLatin1Char('%')));
    }
    if (!fileColumns.isEmpty())
        parts << QStringLiteral("entryfiles.code in (") + rowsOf(files, fileColumns, key) + QLatin1Char(')');
    QStringList wrapped;
    for (const QString& part : parts)
        wrapped << QStringLiteral(" (") + part + QStringLiteral(") ");
    return wrapped.join(QStringLiteral(" or "));
}

QString TSearchQuery::StandardSelect(const TEngineDialect& dialect)
{
    // Quoted aliases keep the names as written: an engine that folds bare
    // names to lower case would otherwise hand back other column names.
    return QStringLiteral("select") + kLineBreak
           + QStringLiteral("entries.code as \"code\", entries.DateCreated as \"DateCreated\", "
                            "entries.DateModified as \"DateModified\", entries.category as \"category\", "
                            "entries.Title as \"Title\", entries.Keywords as \"Keywords\", "
                            "entries.PasswordProtected as \"PasswordProtected\", entries.source as \"source\", "
                            "entries.Comments as \"Comments\", ")
           + kLineBreak + QStringLiteral("-entries.code as \"ReverseCreationOrder\", ")
           + dialect.ReverseDateExpression(QStringLiteral("entries.DateModified"))
           + QStringLiteral(" as \"ReverseDateModified\" ");
}

TSearchStatements TSearchQuery::Build(const QVariantList& request) const
{
    if (request.size() < srRequestSize)
        throw EDatabaseError(QStringLiteral("A search request carries %1 values, not %2")
                                 .arg(srRequestSize)
                                 .arg(request.size()));
    const auto text = [&](int index) { return request.at(index).toString(); };
    const auto flag = [&](int index) { return request.at(index).toBool(); };

    TSearchStatements result;
    const QString customWhere = text(srCustomWhere);
    const bool allCategories = flag(srAllCategories);
    QVariantList params;

    // The key condition: an entry matches through its own columns or through
    // one of its file names.
    QString keyCondition;
    if (customWhere.isEmpty()) {
        TSearchKeyParser parser;
        parser.Keys = text(srKeys);
        parser.Operator = request.at(srOperator).toInt();
        parser.CodeField = QStringLiteral("entries.code");
        parser.PatternOperand = [&params](const QString& pattern) {
            params.append(pattern);
            return QStringLiteral("?");
        };
        parser.LikeCondition = [this](const QString& column, const QString& operand) {
            return m_dialect.LikeCondition(column, operand);
        };
        // The index stands for the columns of the standard from clause; a
        // caller's own from clause may name them otherwise.
        if (m_path == TSearchPath::Indexed && text(srCustomFrom).isEmpty())
            parser.IndexedKeyCondition = [this, &params](const QString& key, const QStringList& columns) {
                return IndexedKeyCondition(key, columns, params);
            };
        parser.SetFields(EntryFields(request));
        int parsed = parser.Parse(keyCondition);
        if (parsed == TSearchKeyParser::ParseOk && flag(srSearchFileNames)) {
            // A #n key is compared with the file's own entry: that finds the
            // same entries as comparing it with the outer entries.code, but
            // the subquery stays independent of the outer row, so the engine
            // runs it once instead of once per entry.
            parser.SetFields(QStringLiteral("entryfiles.Name"));
            parser.CodeField = QStringLiteral("entryfiles.entry");
            QString fileCondition;
            parsed = parser.Parse(fileCondition);
            if (parsed == TSearchKeyParser::ParseOk && !fileCondition.isEmpty()) {
                const QString throughFiles =
                    QStringLiteral(" (entries.code in (select entry from entryfiles where ") + fileCondition
                    + QStringLiteral("))");
                keyCondition = keyCondition.isEmpty() ? throughFiles : keyCondition + QStringLiteral(" or ") + throughFiles;
            }
        }
        // Keys that cannot be parsed for either column set stop the search:
        // nothing runs.
        if (parsed != TSearchKeyParser::ParseOk) {
            result.parseFailure = parsed;
            return result;
        }
    }

    const bool joinCategories = !allCategories || flag(srSearchCategoryNames);
    const QString from = !text(srCustomFrom).isEmpty()
                             ? text(srCustomFrom)
                             : QStringLiteral("from") + kLineBreak + QStringLiteral("   entries")
                                   + (joinCategories ? kLineBreak + QStringLiteral("   left join categories on entries.category = categories.code")
                                                     : QString());

    // With "all categories" off and no category chosen the user asked for
    // entries of no category at all: the search finds nothing (and returns
    // no files), rather than silently searching everywhere or failing.
    bool nothingMatches = false;
    QString where;
    if (!customWhere.isEmpty()) {
        where = customWhere;
    } else {
        QStringList parts;
        if (!keyCondition.isEmpty())
            parts.append(QStringLiteral("( ") + keyCondition + QStringLiteral(" )"));
        if (!allCategories) {
            const QString codes = CheckedCategoryCodes(text(srCategoryCodes));
            nothingMatches = codes.isEmpty();
            const QString filter = nothingMatches ? QStringLiteral("     1 = 0")
                                                  : QStringLiteral("     categories.code in (") + codes + QStringLiteral(") ");
            parts.append(QStringLiteral("     (") + kLineBreak + filter + kLineBreak + QStringLiteral("     )"));
        }
        if (flag(srDateRange)) {
            // Whole days: from the first day's midnight up to, not including,
            // the midnight after the last day. A date that is not set leaves
            // that end of the range open.
            const QDate fromDate = request.at(srFromDate).toDate();
            const QDate toDate = request.at(srToDate).toDate();
            QStringList bounds;
            if (fromDate.isValid()) {
                bounds.append(QStringLiteral("entries.datecreated >= ?"));
                params.append(m_dialect.DateTimeParam(QDateTime(fromDate, QTime(0, 0))));
            }
            if (toDate.isValid()) {
                bounds.append(QStringLiteral("entries.datecreated < ?"));
                params.append(m_dialect.DateTimeParam(QDateTime(toDate.addDays(1), QTime(0, 0))));
            }
            if (!bounds.isEmpty())
                parts.append(QStringLiteral("  (") + kLineBreak + QStringLiteral("     (")
                             + bounds.join(QStringLiteral("  and ")) + QLatin1Char(')') + kLineBreak + QStringLiteral("  )"));
        }
        for (int i = 0; i < parts.size(); ++i)
            where += (i == 0 ? QStringLiteral("where") : kLineBreak + QStringLiteral("and")) + kLineBreak + parts.at(i);
    }

    // Entries: without an order of the caller's they come in code order, so
    // every engine hands back the same rows in the same order.
    const QString select = text(srCustomSelect).isEmpty() ? StandardSelect(m_dialect) : text(srCustomSelect);
    QStringList lines{select, from};
    if (!where.isEmpty())
        lines.append(where);
    const QString customOrder = text(srCustomOrder);
    lines.append(customOrder.isEmpty() ? QStringLiteral("order by entries.code") : customOrder);
    result.entries = {lines.join(kLineBreak), params};

    // Files: those of the entries found. A search without keys fetches every
    // file and leaves the choice to the client-side link; a listing with a
    // condition of its own (a bookmark set) fetches only its entries' files.
    QStringList fileLines{QStringLiteral("select entryfiles.code as \"code\", entryfiles.entry as \"entry\", "
                                         "entryfiles.Name as \"Name\", entryfiles.Type as \"Type\", "
                                         "entryfiles.FileSize as \"FileSize\""),
                          QStringLiteral("from entryfiles")};
    const bool filterFiles = !keyCondition.isEmpty() || !customWhere.isEmpty() || nothingMatches;
    if (filterFiles) {
        fileLines << QStringLiteral("where entryfiles.entry in ") << QStringLiteral("( select entries.code ") << from;
        if (!where.isEmpty())
            fileLines << where;
        fileLines << QStringLiteral(")");
    }
    fileLines << QStringLiteral("order by entryfiles.code");
    result.files = {fileLines.join(kLineBreak), filterFiles ? params : QVariantList()};
    return result;
}

TSearchResult SearchEntries(TdmConnection& connection, const QVariantList& request)
{
    const TSearchStatements statements =
        TSearchQuery(connection.Dialect(), connection.SearchIndexed() ? TSearchPath::Indexed : TSearchPath::Scan)
            .Build(request);
    TSearchResult result;
    result.parseFailure = statements.parseFailure;
    if (result.parseFailure != 0)
        return result;
    TdmServerData server(connection);
    result.entries = server.RunQuery(statements.entries);
    result.files = server.RunQuery(statements.files);
    return result;
}
