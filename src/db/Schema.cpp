#include "db/Schema.h"

#include <QHash>

const TColumnDef* TTableDef::Column(const QString& column) const
{
    for (const auto& c : columns)
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

namespace {

TColumnDef Key(const QString& name, bool identity = false)
{
    TColumnDef c;
    c.name = name;
    c.type = TFieldType::Integer;
    c.primaryKey = true;
    c.identity = identity;
    c.notNull = true;
    return c;
}

TColumnDef Col(const QString& name, TFieldType type, int length = 0, const QString& def = {}, bool notNull = false)
{
    TColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.defaultValue = def;
    c.notNull = notNull;
    return c;
}

QList<TTableDef> BuildTables()
{
    using T = TFieldType;
    QList<TTableDef> tables;

    tables.append({QStringLiteral("categories"),
                   {Key(QStringLiteral("code")), Col(QStringLiteral("parent"), T::Integer, 0, QStringLiteral("0"), true),
                    Col(QStringLiteral("name"), T::Text, 255), Col(QStringLiteral("description"), T::Text, 1000),
                    Col(QStringLiteral("GUID"), T::Text, 36)},
                   {{QStringLiteral("ix_categories_parent"), {QStringLiteral("parent")}}},
                   {}});

    tables.append({QStringLiteral("entries"),
                   {Key(QStringLiteral("code")), Col(QStringLiteral("DateCreated"), T::DateTime),
                    Col(QStringLiteral("DateModified"), T::DateTime), Col(QStringLiteral("category"), T::Integer),
                    Col(QStringLiteral("Title"), T::Text, 255), Col(QStringLiteral("Keywords"), T::Text, 1000),
                    Col(QStringLiteral("PasswordProtected"), T::Integer, 0, QStringLiteral("0"), true),
                    Col(QStringLiteral("source"), T::Text, 1000), Col(QStringLiteral("Comments"), T::Text, 4000),
                    Col(QStringLiteral("GUID"), T::Text, 36), Col(QStringLiteral("Items"), T::Blob)},
                   {{QStringLiteral("ix_entries_category"), {QStringLiteral("category")}}},
                   {},
                   {QStringLiteral("Title"), QStringLiteral("Keywords"), QStringLiteral("Comments"), QStringLiteral("source")}});

    tables.append({QStringLiteral("entryfiles"),
                   {Key(QStringLiteral("code")), Col(QStringLiteral("entry"), T::Integer, 0, {}, true),
                    Col(QStringLiteral("Name"), T::Text, 255), Col(QStringLiteral("Type"), T::Integer),
                    Col(QStringLiteral("FileSize"), T::Integer)},
                   {{QStringLiteral("ix_entryfiles_entry"), {QStringLiteral("entry")}}},
                   {{QStringLiteral("entry"), QStringLiteral("entries"), QStringLiteral("code")}},
                   {QStringLiteral("Name")}});

    tables.append({QStringLiteral("bookmarkSets"),
                   {Key(QStringLiteral("code")), Col(QStringLiteral("GUID"), T::Text, 36),
                    Col(QStringLiteral("name"), T::Text, 255), Col(QStringLiteral("description"), T::Text, 1000)},
                   {},
                   {}});

    tables.append({QStringLiteral("bookmarks"),
                   {Key(QStringLiteral("code"), true), Col(QStringLiteral("bookmarkset"), T::Integer, 0, {}, true),
                    Col(QStringLiteral("entry"), T::Integer, 0, {}, true), Col(QStringLiteral("ordering"), T::Integer)},
                   {{QStringLiteral("ix_bookmarks_bookmarkset"), {QStringLiteral("bookmarkset")}},
                    {QStringLiteral("ux_bookmarks_set_entry"), {QStringLiteral("bookmarkset"), QStringLiteral("entry")}, true}},
                   {{QStringLiteral("bookmarkset"), QStringLiteral("bookmarkSets"), QStringLiteral("code")},
                    {QStringLiteral("entry"), QStringLiteral("entries"), QStringLiteral("code")}}});

    tables.append({QStringLiteral("books"),
                   {Key(QStringLiteral("code"), true), Col(QStringLiteral("name"), T::Text, 255),
                    Col(QStringLiteral("author"), T::Text, 255), Col(QStringLiteral("comments"), T::Text, 1000)},
                   {},
                   {}});

    tables.append({QStringLiteral("settings"),
                   {Col(QStringLiteral("_user"), T::Text, 255, {}, true), Col(QStringLiteral("computer"), T::Text, 255, {}, true),
                    Col(QStringLiteral("_key"), T::Text, 512, {}, true), Col(QStringLiteral("_values"), T::LongText)},
                   {{QStringLiteral("ux_settings_scope"), {QStringLiteral("_user"), QStringLiteral("computer"), QStringLiteral("_key")}, true}},
                   {}});

    tables.append({QStringLiteral("MRULists"),
                   {Key(QStringLiteral("Code")), Col(QStringLiteral("name"), T::Text, 255)},
                   {},
                   {}});

    tables.append({QStringLiteral("MRUListItems"),
                   {Key(QStringLiteral("code"), true), Col(QStringLiteral("MRUList"), T::Integer, 0, {}, true),
                    Col(QStringLiteral("aUser"), T::Integer), Col(QStringLiteral("Text"), T::Text, 1000)},
                   {{QStringLiteral("ix_mrulistitems_list"), {QStringLiteral("MRUList")}}},
                   {{QStringLiteral("MRUList"), QStringLiteral("MRULists"), QStringLiteral("Code")}}});

    tables.append({QStringLiteral("charsets"),
                   {Col(QStringLiteral("usercode"), T::Text, 64, {}, true), Col(QStringLiteral("name"), T::Text, 255)},
                   {{QStringLiteral("ux_charsets_usercode"), {QStringLiteral("usercode")}, true}},
                   {}});

    tables.append({QStringLiteral("templates"),
                   {Col(QStringLiteral("id"), T::Text, 64, {}, true), Col(QStringLiteral("text"), T::LongText)},
                   {{QStringLiteral("ux_templates_id"), {QStringLiteral("id")}, true}},
                   {}});
    return tables;
}

QHash<QString, TFieldType> BuildColumnTypes()
{
    QHash<QString, TFieldType> types;
    for (const auto& table : Schema::Tables())
        for (const auto& column : table.columns)
            types.insert(column.name.toLower(), column.type == TFieldType::LongText ? TFieldType::LongText : column.type);
    // computed columns of the queries
    for (const char* name : {"occurences", "entrycount", "categorycount", "bookmarksetcount", "reversecreationorder"})
        types.insert(QString::fromLatin1(name), TFieldType::Integer);
    types.insert(QStringLiteral("reversedatemodified"), TFieldType::Float);
    // MRUListItems.Text is an ordinary text although templates.text is long
    types.insert(QStringLiteral("text"), TFieldType::Text);
    return types;
}

} // namespace

namespace Schema {

const QList<TTableDef>& Tables()
{
    static const QList<TTableDef> tables = BuildTables();
    return tables;
}

const TTableDef* FindTable(const QString& name)
{
    for (const auto& t : Tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

TFieldType ColumnType(const QString& columnName, TFieldType fallback)
{
    static const QHash<QString, TFieldType> types = BuildColumnTypes();
    return types.value(columnName.toLower(), fallback);
}

QString CountersTable()
{
    return QStringLiteral("reccounters");
}

QStringList CounterNames()
{
    return {QStringLiteral("entries"), QStringLiteral("categories"), QStringLiteral("bookmarksets"),
            QStringLiteral("entryfiles")};
}

int FirstIdentifier(const QString& counter)
{
    return counter.compare(QStringLiteral("bookmarksets"), Qt::CaseInsensitive) == 0 ? 100 : 1;
}

int SchemaVersion()
{
    return SearchIndexVersion();
}

int BaseSchemaVersion()
{
    return 1;
}

int SearchIndexVersion()
{
    return 2;
}

QList<const TTableDef*> SearchIndexedTables()
{
    QList<const TTableDef*> result;
    for (const auto& t : Tables())
        if (!t.searchedColumns.isEmpty())
            result.append(&t);
    return result;
}

} // namespace Schema
