#include "db/PostgresDump.h"

#include "app/Errors.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstring>

void RunPostgresTool(const QString& program, const QStringList& arguments, const QString& failure,
                     const std::function<bool()>& keepGoing, QByteArray* output)
{
    if (!keepGoing())
        throw EAbort();
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(30000))
        throw EDatabaseError(failure.arg(process.errorString()));
    QByteArray out;
    while (!process.waitForFinished(100)) {
        // Read as it comes: a long listing would otherwise fill the pipe.
        out += process.readAllStandardOutput();
        if (process.state() == QProcess::NotRunning)
            break;
        if (!keepGoing()) {
            process.kill();
            process.waitForFinished(5000);
            throw EAbort();
        }
    }
    out += process.readAllStandardOutput();
    if (output)
        *output = out;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QString why = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        if (why.isEmpty())
            why = process.errorString();
        throw EDatabaseError(failure.arg(why));
    }
}

namespace {

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// An identifier as pg_dump writes it: bare, or in double quotes with "" for
// a quote.
QString Unquoted(const QString& identifier)
{
    if (identifier.size() >= 2 && identifier.startsWith(QLatin1Char('"')) && identifier.endsWith(QLatin1Char('"')))
        return identifier.mid(1, identifier.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return identifier;
}

// "name type DEFAULT 0 NOT NULL," as a column of CREATE TABLE; false for a
// line that is no column (a table constraint).
bool ParseColumn(QString line, TSchemaColumn& column)
{
    line = line.trimmed();
    if (line.endsWith(QLatin1Char(',')))
        line.chop(1);
    if (line.isEmpty() || line.startsWith(QLatin1String("CONSTRAINT ")))
        return false;
    qsizetype end;
    if (line.startsWith(QLatin1Char('"'))) {
        end = 1;
        while (end < line.size()) {
            if (line[end] == QLatin1Char('"')) {
                if (end + 1 < line.size() && line[end + 1] == QLatin1Char('"')) {
                    end += 2;
                    continue;
                }
                ++end;
                break;
            }
            ++end;
        }
    } else {
        end = line.indexOf(QLatin1Char(' '));
        if (end < 0)
            end = line.size();
    }
    column.name = Unquoted(line.left(end));
    QString type = line.mid(end).trimmed();
    for (const char* clause : {" DEFAULT ", " NOT NULL", " COLLATE ", " GENERATED ", " CONSTRAINT ", " NULL"}) {
        const qsizetype at = type.indexOf(QLatin1String(clause));
        if (at >= 0)
            type.truncate(at);
    }
    column.type = type;
    return true;
}

// Reads pg_restore's data script as it comes: rows go to the sink as COPY
// text, a sequence's value as a call; any statement else stops everything.
class TDataScriptReader {
public:
    TDataScriptReader(TPostgresDump::IDataSink& sink, const QString& file) : m_sink(sink), m_file(file) {}

    void Feed(const QByteArray& bytes)
    {
        m_pending += bytes;
        for (;;) {
            if (m_inCopy) {
                if (!FeedCopy())
                    return;
                continue;
            }
            const qsizetype end = m_pending.indexOf('\n');
            if (end < 0) {
                // Statements and settings are short; a longer line is no
                // statement of a data script.
                if (m_pending.size() > kLongestStatement)
                    Refuse(QString::fromUtf8(m_pending.left(80)));
                return;
            }
            const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            Statement(line);
        }
    }

    void Finish()
    {
        if (m_inCopy || !m_pending.trimmed().isEmpty())
            throw EDatabaseError(QStringLiteral("The backup \"%1\" ends in the middle of its data.").arg(Native(m_file)));
    }

private:
    static constexpr qsizetype kLongestStatement = 64 * 1024;

    // Passes the rows read so far to the sink, up to the line "\\." that
    // ends them; false when more bytes are needed. Rows go on in large
    // pieces: a row may be longer than any buffer (a whole archive).
    bool FeedCopy()
    {
        static const QByteArray marker("\\.\n"), markerLine("\n\\.\n");
        if (m_atLineStart) {
            if (m_pending.startsWith(marker)) {
                m_pending.remove(0, marker.size());
                m_inCopy = false;
                m_sink.EndCopy();
                return true;
            }
            if (marker.startsWith(m_pending))
                return false;   // perhaps the marker, not all here yet
        }
        const qsizetype end = m_pending.indexOf(markerLine);
        if (end >= 0) {
            Forward(end + 1);
            m_atLineStart = true;
            return true;
        }
        // What may be the beginning of the marker waits for the next bytes.
        qsizetype keep = 0;
        for (const char* tail : {"\n\\.", "\n\\", "\n"}) {
            if (m_pending.endsWith(tail)) {
                keep = qsizetype(strlen(tail));
                break;
            }
        }
        if (m_pending.size() == keep)
            return false;
        Forward(m_pending.size() - keep);
        m_atLineStart = false;
        return true;
    }

    void Forward(qsizetype length)
    {
        m_sink.CopyData(m_pending.constData(), length);
        m_pending.remove(0, length);
    }

    void Statement(const QString& line)
    {
        static const QRegularExpression encoding(QStringLiteral("^SET client_encoding = '([A-Za-z0-9_]+)';$"));
        static const QRegularExpression copy(
            QStringLiteral("^COPY (\"(?:[^\"]|\"\")+\"|[^\". ]+)\\.(\"(?:[^\"]|\"\")+\"|[^\". ]+) \\((.*)\\) FROM stdin;$"));
        static const QRegularExpression sequence(
            QStringLiteral("^SELECT pg_catalog\\.setval\\('((?:[^']|'')+)', (\\d+), (true|false)\\);$"));
        if (line.isEmpty() || line.startsWith(QLatin1String("--")) || line.startsWith(QLatin1String("\\restrict "))
            || line.startsWith(QLatin1String("\\unrestrict ")))
            return;
        if (const QRegularExpressionMatch m = encoding.match(line); m.hasMatch()) {
            m_sink.Encoding(m.captured(1));
            return;
        }
        // The settings pg_restore writes ahead of the rows; they are not run.
        if (line.startsWith(QLatin1String("SET ")) || line.startsWith(QLatin1String("SELECT pg_catalog.set_config(")))
            return;
        if (const QRegularExpressionMatch m = copy.match(line); m.hasMatch()) {
            QStringList columns;
            for (const QString& column : m.captured(3).split(QStringLiteral(", ")))
                columns << Unquoted(column);
            m_sink.BeginCopy(Unquoted(m.captured(1)), Unquoted(m.captured(2)), columns);
            m_inCopy = true;
            m_atLineStart = true;
            return;
        }
        if (const QRegularExpressionMatch m = sequence.match(line); m.hasMatch()) {
            const QString name = m.captured(1).replace(QLatin1String("''"), QLatin1String("'"));
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            m_sink.SetSequence(Unquoted(name.left(std::max<qsizetype>(dot, 0))), Unquoted(name.mid(dot + 1)),
                               m.captured(2).toLongLong(), m.captured(3) == QLatin1String("true"));
            return;
        }
        Refuse(line);
    }

    [[noreturn]] void Refuse(const QString& line) const
    {
        throw EDatabaseError(QStringLiteral("\"%1\" cannot be restored: besides its rows it holds the statement \"%2\".")
                                 .arg(Native(m_file), line.left(80)));
    }

    TPostgresDump::IDataSink& m_sink;
    QString m_file;
    QByteArray m_pending;
    bool m_inCopy = false;
    bool m_atLineStart = true;
};

} // namespace

TPostgresDump::TPostgresDump(const QString& pgRestore, const QString& file, std::function<bool()> keepGoing)
    : m_pgRestore(pgRestore), m_file(file), m_keepGoing(std::move(keepGoing))
{
}

QList<TDumpEntry> TPostgresDump::Entries()
{
    QByteArray listing;
    RunPostgresTool(m_pgRestore, {QStringLiteral("--list"), m_file},
                    QStringLiteral("The backup \"%1\" is damaged: %2").arg(Native(m_file), QStringLiteral("%1")),
                    m_keepGoing, &listing);
    // "id; catalog-oid object-oid KIND SCHEMA TAG OWNER"; the owner is the
    // last word, or nothing for objects without one.
    static const QRegularExpression entry(QStringLiteral("^(\\d+); \\d+ \\d+ (.*)$"));
    QList<TDumpEntry> entries;
    for (const QByteArray& raw : listing.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch())
            continue;
        const QString rest = m.captured(2);
        const QString key = rest.endsWith(QLatin1Char(' ')) ? rest.chopped(1) : rest.left(rest.lastIndexOf(QLatin1Char(' ')));
        entries.append({line, key, m.captured(1).toInt()});
    }
    return entries;
}

TPostgresDump::TDefinitions TPostgresDump::Definitions()
{
    QByteArray script;
    RunPostgresTool(m_pgRestore, {QStringLiteral("--schema-only"), QStringLiteral("--file=-"), m_file},
                    QStringLiteral("The backup \"%1\" is damaged: %2").arg(Native(m_file), QStringLiteral("%1")),
                    m_keepGoing, &script);
    static const QRegularExpression header(
        QStringLiteral("^-- Name: (.*); Type: ([A-Z ]+); Schema: ([^;]*); Owner: (.*)$"));
    static const QRegularExpression body(QStringLiteral("\\bAS (\\$[A-Za-z0-9_]*\\$)(.*?)\\1"),
                                         QRegularExpression::DotMatchesEverythingOption);
    TDefinitions definitions;
    QString name, type;
    QStringList section;
    const auto finish = [&] {
        if (type == QLatin1String("TABLE")) {
            QList<TSchemaColumn>& columns = definitions.tables[name.toLower()];
            bool inTable = false;
            for (const QString& line : std::as_const(section)) {
                if (!inTable) {
                    inTable = line.startsWith(QLatin1String("CREATE ")) && line.contains(QLatin1String(" TABLE "));
                    continue;
                }
                if (line.startsWith(QLatin1Char(')')))
                    break;
                TSchemaColumn column;
                if (ParseColumn(line, column))
                    columns.append(column);
            }
        } else if (type == QLatin1String("FUNCTION")) {
            const QString text = section.join(QLatin1Char('\n'));
            const QRegularExpressionMatch m = body.match(text);
            definitions.functionBodies.insert(name, m.hasMatch() ? m.captured(2) : text);
        }
        section.clear();
    };
    for (const QByteArray& raw : script.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QRegularExpressionMatch m = header.match(line);
        if (m.hasMatch()) {
            finish();
            name = m.captured(1);
            type = m.captured(2);
            continue;
        }
        section.append(line);
    }
    finish();
    return definitions;
}

void TPostgresDump::ReadData(const QList<TDumpEntry>& entries, IDataSink& sink, const std::function<bool(qint64)>& progress)
{
    // pg_restore reads the entries of a list file in the file's order.
    QTemporaryFile list;
    if (!list.open())
        throw EDatabaseError(QStringLiteral("No scratch file for reading the backup: %1").arg(list.errorString()));
    for (const TDumpEntry& entry : entries)
        list.write(entry.line.toUtf8() + '\n');
    list.flush();

    QProcess process;
    process.setProgram(m_pgRestore);
    process.setArguments({QStringLiteral("--data-only"), QStringLiteral("--use-list=") + list.fileName(),
                          QStringLiteral("--file=-"), m_file});
    process.start();
    if (!process.waitForStarted(30000))
        throw EDatabaseError(QStringLiteral("The backup \"%1\" cannot be read: %2").arg(Native(m_file), process.errorString()));
    TDataScriptReader reader(sink, m_file);
    qint64 read = 0;
    try {
        for (;;) {
            const bool finished = process.state() == QProcess::NotRunning || process.waitForFinished(0);
            if (!finished)
                process.waitForReadyRead(100);
            const QByteArray bytes = process.readAllStandardOutput();
            read += bytes.size();
            reader.Feed(bytes);
            if (!progress(read))
                throw EAbort();
            if (finished && process.bytesAvailable() == 0)
                break;
        }
    } catch (...) {
        process.kill();
        process.waitForFinished(5000);
        throw;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw EDatabaseError(QStringLiteral("The backup \"%1\" cannot be read: %2")
                                 .arg(Native(m_file), QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));
    reader.Finish();
}
