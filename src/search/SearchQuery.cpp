#include "search/SearchQuery.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/Schema.h"
#include "db/dServerData.h"
#include "search/SearchKeyParser.h"
#include "search/SearchOptions.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>

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

namespace {

// The keys the substring index answers exactly: texts of at least three
// characters without "%" or "_", whose wildcard meaning it knows nothing of.
bool Indexable(const TSearchKey& key)
{
    return !key.isCode && !key.text.contains(QLatin1Char('%')) && !key.text.contains(QLatin1Char('_'))
           && key.text.toUcs4().size() >= TEngineDialect::MinIndexedKeyLength;
}

// One select of the "code" column out of sets of codes, joined by intersect
// or union; groups keep the compound selects short (SQLite allows 500).
QString CombineSets(const QStringList& sets, const QString& setOperator)
{
    if (sets.size() == 1)
        return sets.first();
    const auto asTerm = [](const QString& set) -> QString { return QStringLiteral("select code from (") + set + QStringLiteral(") s"); };
    QStringList terms;
    for (const QString& set : sets)
        terms << asTerm(set);
    return BalancedJoin(terms, setOperator, asTerm);
}

} // namespace

TSearchKeyParser TSearchQuery::EntryKeyParser(const QVariantList& request, QVariantList& params) const
{
    TSearchKeyParser parser;
    parser.Keys = request.at(srKeys).toString();
    parser.Operator = request.at(srOperator).toInt();
    parser.CodeField = QStringLiteral("entries.code");
    parser.PatternOperand = [&params](const QString& pattern) {
        params.append(pattern);
        return QStringLiteral("?");
    };
    parser.LikeCondition = [this](const QString& column, const QString& operand) {
        return m_dialect.LikeCondition(column, operand);
    };
    parser.SetFields(EntryFields(request));
    return parser;
}

QStringList TSearchQuery::IndexedEntryColumns(const QStringList& columns) const
{
    const TTableDef& entries = *Schema::FindTable(QStringLiteral("entries"));
    QStringList result;
    for (const QString& column : columns) {
        if (column.compare(QStringLiteral("categories.name"), Qt::CaseInsensitive) == 0)
            continue;
        const auto found = std::find_if(entries.searchedColumns.begin(), entries.searchedColumns.end(),
                                        [&](const QString& c) {
                                            return QStringLiteral("entries.").append(c).compare(column, Qt::CaseInsensitive) == 0;
                                        });
        if (found == entries.searchedColumns.end())
            return {QString()};
        result << *found;
    }
    return result;
}

QString TSearchQuery::AllKeysIndexedCondition(const QVariantList& request, const QStringList& texts,
                                              QVariantList& params) const
{
    const bool all = request.at(srOperator).toInt() != TSearchKeyParser::OperatorAny;
    QStringList columns = SplitSearchKeys(EntryFields(request));
    columns.removeAll(QString());
    const QStringList entryColumns = IndexedEntryColumns(columns);
    if (entryColumns.contains(QString()))
        return QString();
    const bool categoryNames = columns.contains(QStringLiteral("categories.name"), Qt::CaseInsensitive);

    // Every key looked up in one question to the index, which joins the
    // answers itself.
    QStringList sources;
    if (!entryColumns.isEmpty()) {
        const TEngineDialect::TSqlFragment rows =
            m_dialect.SearchIndexRows(*Schema::FindTable(QStringLiteral("entries")), entryColumns, texts, all);
        sources << rows.sql;
        params << rows.params;
    }
    if (categoryNames) {
        QStringList names;
        for (const QString& text : texts) {
            names << QLatin1Char('(') + m_dialect.LikeCondition(QStringLiteral("categories.name"), QStringLiteral("?"))
                         + QLatin1Char(')');
            params << QString(QLatin1Char('%') + text + QLatin1Char('%'));
        }
        const auto parenthesised = [](const QString& group) -> QString { return QLatin1Char('(') + group + QLatin1Char(')'); };
        const QString named = QStringLiteral("entries.category in (select code from categories where ")
                              + BalancedJoin(names, QStringLiteral(" or "), parenthesised) + QLatin1Char(')');
        if (!all) {
            sources << QStringLiteral("select code from entries where ") + named;
        } else {
            // An entry of a category that one key names may have the other
            // keys in its own columns: the few entries of such categories
            // are compared as the scan compares them.
            QString scanned;
            EntryKeyParser(request, params).Parse(scanned);
            sources << QStringLiteral("select entries.code as code from entries left join categories on entries.category = "
                                      "categories.code where ")
                           + named + QStringLiteral(" and ") + scanned;
        }
    }
    if (request.at(srSearchFileNames).toBool()) {
        const TEngineDialect::TSqlFragment rows =
            m_dialect.SearchIndexRows(*Schema::FindTable(QStringLiteral("entryfiles")), {QStringLiteral("Name")}, texts, all);
        sources << QStringLiteral("select entry as code from entryfiles where code in (") + rows.sql + QLatin1Char(')');
        params << rows.params;
    }
    return QStringLiteral(" (entries.code in (") + CombineSets(sources, QStringLiteral(" union ")) + QStringLiteral("))");
}

QString TSearchQuery::EntryKeyRows(const TSearchKey& key, const QStringList& columns, QVariantList& params) const
{
    if (key.isCode)
        return QStringLiteral("select code from entries where code = ") + key.text;
    const QString pattern = QLatin1Char('%') + key.text + QLatin1Char('%');
    const bool categoryNames = columns.contains(QStringLiteral("categories.name"), Qt::CaseInsensitive);
    // A column the index does not hold leaves the key to the comparisons.
    const QStringList entryColumns = IndexedEntryColumns(columns);
    const bool indexed = Indexable(key) && !entryColumns.contains(QString());
    if (!indexed) {
        QStringList comparisons;
        for (const QString& column : columns) {
            comparisons << QStringLiteral("(") + m_dialect.LikeCondition(column, QStringLiteral("?")) + QLatin1Char(')');
            params << pattern;
        }
        return QStringLiteral("select entries.code as code from entries")
               + (categoryNames ? QStringLiteral(" left join categories on entries.category = categories.code")
                                : QString())
               + QStringLiteral(" where ") + comparisons.join(QStringLiteral(" or "));
    }
    QStringList parts;
    if (!entryColumns.isEmpty()) {
        const TEngineDialect::TSqlFragment rows =
            m_dialect.SearchIndexRows(*Schema::FindTable(QStringLiteral("entries")), entryColumns, {key.text}, true);
        parts << rows.sql;
        params << rows.params;
    }
    if (categoryNames) {
        // The categories are few: their names are read, not indexed. An
        // entry of no category is in no category's set, as the joined name
        // of no category matches nothing.
        parts << QStringLiteral("select code from entries where category in (select code from categories where ")
                     + m_dialect.LikeCondition(QStringLiteral("categories.name"), QStringLiteral("?")) + QLatin1Char(')');
        params << pattern;
    }
    return parts.join(QStringLiteral(" union "));
}

QString TSearchQuery::FileKeyRows(const TSearchKey& key, QVariantList& params) const
{
    if (key.isCode)
        return QStringLiteral("select code from entryfiles where entry = ") + key.text;
    if (!Indexable(key)) {
        params << QString(QLatin1Char('%') + key.text + QLatin1Char('%'));
        return QStringLiteral("select code from entryfiles where ")
               + m_dialect.LikeCondition(QStringLiteral("entryfiles.Name"), QStringLiteral("?"));
    }
    const TEngineDialect::TSqlFragment rows =
        m_dialect.SearchIndexRows(*Schema::FindTable(QStringLiteral("entryfiles")), {QStringLiteral("Name")}, {key.text}, true);
    params << rows.params;
    return rows.sql;
}

QString TSearchQuery::IndexedKeyCondition(const QVariantList& request, QVariantList& params) const
{
    // The same keys, columns and operator as the parser's condition, but as
    // sets of codes: each key's set is found once, by the index where it can
    // answer, and the entries are then fetched by their codes instead of
    // every row being compared.
    const std::optional<QList<TSearchKey>> keys = ClassifySearchKeys(request.at(srKeys).toString());
    if (!keys || std::none_of(keys->begin(), keys->end(), Indexable))
        return QString();
    // Text keys only, each answered by the index: one lookup for them all,
    // within the few dozen phrases the index takes in one question.
    constexpr qsizetype kKeysInOneLookup = 32;
    if (keys->size() <= kKeysInOneLookup && std::all_of(keys->begin(), keys->end(), Indexable)) {
        QStringList texts;
        for (const TSearchKey& key : *keys)
            texts << key.text;
        QVariantList lookupParams;
        const QString condition = AllKeysIndexedCondition(request, texts, lookupParams);
        if (!condition.isEmpty()) {
            params << lookupParams;
            return condition;
        }
    }
    const QString setOperator = request.at(srOperator).toInt() == TSearchKeyParser::OperatorAny
                                    ? QStringLiteral(" union ")
                                    : QStringLiteral(" intersect ");
    QStringList columns = SplitSearchKeys(EntryFields(request));
    columns.removeAll(QString());
    QStringList sources;
    if (!columns.isEmpty()) {
        QStringList keySets;
        for (const TSearchKey& key : *keys)
            keySets << EntryKeyRows(key, columns, params);
        sources << CombineSets(keySets, setOperator);
    }
    if (request.at(srSearchFileNames).toBool()) {
        // All keys in one file name: the sets are of file rows.
        QStringList fileSets;
        for (const TSearchKey& key : *keys)
            fileSets << FileKeyRows(key, params);
        sources << QStringLiteral("select entry as code from entryfiles where code in (")
                       + CombineSets(fileSets, setOperator) + QLatin1Char(')');
    }
    return QStringLiteral(" (entries.code in (") + CombineSets(sources, QStringLiteral(" union ")) + QStringLiteral("))");
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
    bool indexedKeys = false;
    if (customWhere.isEmpty()) {
        TSearchKeyParser parser = EntryKeyParser(request, params);
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
        // The index stands for the columns of the standard from clause; a
        // caller's own from clause may name them otherwise.
        if (m_path == TSearchPath::Indexed && text(srCustomFrom).isEmpty() && !keyCondition.isEmpty()) {
            QVariantList indexedParams;
            const QString indexed = IndexedKeyCondition(request, indexedParams);
            if (!indexed.isEmpty()) {
                keyCondition = indexed;
                params = indexedParams;
                indexedKeys = true;
            }
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
    QStringList fileLines{FilesSelect()};
    const bool filterFiles = !keyCondition.isEmpty() || !customWhere.isEmpty() || nothingMatches;
    if (filterFiles) {
        fileLines << QStringLiteral("where entryfiles.entry in ") << QStringLiteral("( select entries.code ") << from;
        if (!where.isEmpty())
            fileLines << where;
        fileLines << QStringLiteral(")");
    }
    fileLines << QStringLiteral("order by entryfiles.code");
    result.files = {fileLines.join(kLineBreak), filterFiles ? params : QVariantList()};
    result.filesOfFoundEntries = indexedKeys;
    return result;
}

QString TSearchQuery::FilesSelect()
{
    return QStringLiteral("select entryfiles.code as \"code\", entryfiles.entry as \"entry\", "
                          "entryfiles.Name as \"Name\", entryfiles.Type as \"Type\", "
                          "entryfiles.FileSize as \"FileSize\"")
           + kLineBreak + QStringLiteral("from entryfiles");
}

TSqlStatement TSearchQuery::FilesOfEntries(const DataPacket& entries)
{
    // The codes come from the database as integers and are written as
    // numbers; no entry found gives no file.
    QStringList codes;
    const int code = entries.FieldIndex(QStringLiteral("code"));
    for (const auto& row : entries.rows)
        codes << QString::number(row.at(code).toLongLong());
    const QString condition = codes.isEmpty() ? QStringLiteral("where 1 = 0")
                                              : QStringLiteral("where entryfiles.entry in (") + codes.join(QLatin1Char(','))
                                                    + QLatin1Char(')');
    // By entry, then code: the index over (entry, code, ...) hands the rows
    // out in that order for the listed entries, where ordering by code alone
    // walks every file of the database. The client orders the files by
    // entry anyway, and within one entry the order is the same.
    return {FilesSelect() + kLineBreak + condition + kLineBreak
                + QStringLiteral("order by entryfiles.entry, entryfiles.code"),
            {}};
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
    const QStringList settings =
        statements.filesOfFoundEntries ? connection.Dialect().IndexedSearchSettingsSql() : QStringList();
    // The settings last as long as the transaction, which also gives the
    // files from the same state of the database as their entries.
    if (!settings.isEmpty())
        connection.BeginReadTransaction();
    try {
        for (const QString& setting : settings)
            server.Execute({setting, {}});
        result.entries = server.RunQuery(statements.entries);
        // The files of the entries just found, by their codes: the index is
        // not asked the same question twice.
        const bool byCodes = statements.filesOfFoundEntries && result.entries.FieldIndex(QStringLiteral("code")) >= 0;
        result.files = server.RunQuery(byCodes ? TSearchQuery::FilesOfEntries(result.entries) : statements.files);
    } catch (...) {
        if (!settings.isEmpty())
            connection.Rollback();
        throw;
    }
    if (!settings.isEmpty())
        connection.Commit();
    return result;
}
