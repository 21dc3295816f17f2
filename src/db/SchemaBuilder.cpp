#include "db/SchemaBuilder.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/Schema.h"
#include "db/SchemaUpgrade.h"
#include "db/dmConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

TSchemaBuilder::TSchemaBuilder(TdmConnection& connection) : m_connection(connection) {}

void TSchemaBuilder::Exec(const QString& sql, const QVariantList& params)
{
    ExecSchemaStatement(m_connection, sql, params);
}

QStringList TSchemaBuilder::ExistingTables()
{
    QSqlQuery q(m_connection.Database());
    if (!q.exec(m_connection.Dialect().ListTablesSql()))
        throw EDatabaseError(q.lastError().text());
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    return tables;
}

bool TSchemaBuilder::HasTessarynDatabase()
{
    const QStringList tables = ExistingTables();
    return std::any_of(tables.begin(), tables.end(), [](const QString& t) {
        return t.compare(QStringLiteral("entries"), Qt::CaseInsensitive) == 0;
    });
}

void TSchemaBuilder::DropExisting()
{
    TSchemaUpgrade(m_connection).DropSearchIndex();
    const QStringList existing = ExistingTables();
    QList<TTableDef> tables = Schema::Tables();
    std::reverse(tables.begin(), tables.end());   // referencing tables first
    QStringList names;
    for (const auto& t : tables)
        names << t.name;
    names << Schema::CountersTable() << QStringLiteral("tessaryn_info");
    for (const QString& name : names)
        for (const QString& e : existing)
            if (e.compare(name, Qt::CaseInsensitive) == 0)
                Exec(QStringLiteral("drop table %1").arg(name));
    for (const QString& sql : m_connection.Dialect().DropAllSql())
        Exec(sql);
}

void TSchemaBuilder::Create(bool force, int version)
{
    if (HasTessarynDatabase() && !force)
        throw ETessarynError(QStringLiteral("A Tessaryn database already exists (%1). Run with --force to replace it.")
                                 .arg(m_connection.Info().Describe()));
    ChangeSchemaInTransaction(m_connection, [&] {
        if (force)
            DropExisting();
        CreateObjects();
        InsertDeliveredRows();
        if (version >= Schema::SearchIndexVersion())
            TSchemaUpgrade(m_connection).AddSearchIndex();
    });
}

void TSchemaBuilder::CreateObjects()
{
    const TEngineDialect& dialect = m_connection.Dialect();
    for (const auto& table : Schema::Tables()) {
        Exec(dialect.CreateTableSql(table));
        for (const QString& sql : dialect.CreateIndexSql(table))
            Exec(sql);
    }
    Exec(QStringLiteral("create table %1 (tablename text primary key, lastid integer not null)")
             .arg(Schema::CountersTable()));
    for (const QString& sql : dialect.CreateProceduresSql())
        Exec(sql);
    Exec(QStringLiteral("create table tessaryn_info (name text primary key, value text)"));
}

void TSchemaBuilder::InsertDeliveredRows()
{
    for (const QString& counter : Schema::CounterNames())
        Exec(QStringLiteral("insert into %1 (tablename, lastid) values (?, ?)").arg(Schema::CountersTable()),
             {counter, Schema::FirstIdentifier(counter) - 1});
    Exec(QStringLiteral("insert into tessaryn_info (name, value) values (?, ?)"),
         {QStringLiteral("schema version"), QString::number(Schema::BaseSchemaVersion())});

    const auto guid = [] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); };

    Exec(QStringLiteral("insert into bookmarkSets (code, GUID, name, description) values (?, ?, ?, ?)"),
         {1, guid(), QStringLiteral("Default"), QStringLiteral("Entries bookmarked without choosing a set")});

    const QStringList lists = {QStringLiteral("source"), QStringLiteral("keywords"), QStringLiteral("Recent searches")};
    for (int i = 0; i < lists.size(); ++i)
        Exec(QStringLiteral("insert into MRULists (Code, name) values (?, ?)"), {i + 1, lists[i]});

    const QList<QPair<QString, QString>> charsets = {
        {QStringLiteral("utf-8"), QStringLiteral("Unicode (UTF-8)")},
        {QStringLiteral("iso-8859-1"), QStringLiteral("Western European (ISO-8859-1)")},
        {QStringLiteral("iso-8859-15"), QStringLiteral("Western European (ISO-8859-15)")},
        {QStringLiteral("windows-1252"), QStringLiteral("Western European (Windows-1252)")},
        {QStringLiteral("iso-8859-2"), QStringLiteral("Central European (ISO-8859-2)")},
        {QStringLiteral("windows-1250"), QStringLiteral("Central European (Windows-1250)")},
        {QStringLiteral("iso-8859-5"), QStringLiteral("Cyrillic (ISO-8859-5)")},
        {QStringLiteral("windows-1251"), QStringLiteral("Cyrillic (Windows-1251)")},
        {QStringLiteral("koi8-r"), QStringLiteral("Cyrillic (KOI8-R)")},
        {QStringLiteral("iso-8859-7"), QStringLiteral("Greek (ISO-8859-7)")},
        {QStringLiteral("windows-1253"), QStringLiteral("Greek (Windows-1253)")},
        {QStringLiteral("iso-8859-9"), QStringLiteral("Turkish (ISO-8859-9)")},
        {QStringLiteral("iso-8859-8"), QStringLiteral("Hebrew (ISO-8859-8)")},
        {QStringLiteral("iso-8859-6"), QStringLiteral("Arabic (ISO-8859-6)")},
        {QStringLiteral("shift_jis"), QStringLiteral("Japanese (Shift_JIS)")},
        {QStringLiteral("gb2312"), QStringLiteral("Chinese Simplified (GB2312)")},
        {QStringLiteral("big5"), QStringLiteral("Chinese Traditional (Big5)")},
        {QStringLiteral("euc-kr"), QStringLiteral("Korean (EUC-KR)")},
    };
    for (const auto& [usercode, name] : charsets)
        Exec(QStringLiteral("insert into charsets (usercode, name) values (?, ?)"), {usercode, name});

    Exec(QStringLiteral("insert into templates (id, text) values (?, ?)"),
         {QStringLiteral("HTML_EXPORT_BODY"), HtmlExportBodyTemplate()});
    Exec(QStringLiteral("insert into templates (id, text) values (?, ?)"),
         {QStringLiteral("HTML_EXPORT_ENTRY_ROW"), HtmlExportEntryRowTemplate()});
}

QString TSchemaBuilder::HtmlExportBodyTemplate()
{
    return QStringLiteral(
        "<!DOCTYPE html>\r\n"
        "<html>\r\n"
        "<head>\r\n"
        "  <meta http-equiv=\"Content-Type\" content=\"text/html; charset=%Charset%\">\r\n"
        "  <title>%HTMLName%</title>\r\n"
        "  <style type=\"text/css\">\r\n"
        "    body { background-color: #%BackColor%; font-family: Verdana, Tahoma, sans-serif; font-size: 10pt; color: #222; margin: 2em; }\r\n"
        "    h1 { font-size: 16pt; color: #45696B; border-bottom: 1px solid #AFB9C3; padding-bottom: 4px; }\r\n"
        "    .entry { margin: 0 0 1.2em 0; padding: 0.6em 0.8em; border: 1px solid #D7E1EB; border-radius: 6px; background: #FFFFFF; }\r\n"
        "    .entry h2 { font-size: 12pt; margin: 0 0 0.3em 0; color: #0E3F7A; cursor: pointer; }\r\n"
        "    .entry h2 img { vertical-align: middle; margin-right: 6px; }\r\n"
        "    .files { margin: 0.4em 0 0 1.6em; }\r\n"
        "    .files a { color: #3169C6; }\r\n"
        "    .footer { margin-top: 2em; font-size: 8pt; color: #8A897C; }\r\n"
        "  </style>\r\n"
        "  <script type=\"text/javascript\">\r\n"
        "    function toggleEntry(id) {\r\n"
        "      var files = document.getElementById(id);\r\n"
        "      var sign = document.getElementById(id + '_sign');\r\n"
        "      var hidden = files.style.display == 'none';\r\n"
        "      files.style.display = hidden ? 'block' : 'none';\r\n"
        "      sign.src = '%HTMLName%_files/' + (hidden ? 'MinusSign.gif' : 'PlusSign.gif');\r\n"
        "    }\r\n"
        "  </script>\r\n"
        "</head>\r\n"
        "<body>\r\n"
        "%Auxiliary%\r\n"
        "<h1>%HTMLName%</h1>\r\n"
        "%EntryRow%\r\n"
        "<p class=\"footer\">Exported from Tessaryn</p>\r\n"
        "</body>\r\n"
        "</html>\r\n");
}

QString TSchemaBuilder::HtmlExportEntryRowTemplate()
{
    return QStringLiteral(
        "<div class=\"entry\" id=\"%Entry_%\">\r\n"
        "  <h2 onclick=\"toggleEntry('%Entry_%_files')\"><img id=\"%Entry_%_files_sign\" src=\"%HTMLName%_files/MinusSign.gif\" alt=\"\">"
        "%EntryTitle% <small>[%EntryId%]</small></h2>\r\n"
        "  <span>%Comments%\r\n"
        "  <div class=\"files\" id=\"%Entry_%_files\">\r\n"
        "%Entryfiles%"
        "  </div>\r\n"
        "</div>\r\n");
}
