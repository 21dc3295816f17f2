#include "db/SQLSupport.h"

#include "app/Errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

TSQLAssistantFactory SQLAssistantFactory;

namespace {

constexpr std::array<const char*, 14> ComparisonTemplates = {
    " = %s",
    " <> %s",
    " > %s",
    " >= %s",
    " < %s",
    " <= %s",
    " like '%s%%'",
    " not like '%s%%'",
    " like '%%%s'",
    " not like '%%%s'",
    " like '%%%s%%'",
    " not like '%%%s%%'",
    " is null ",
    " is not null ",
};

constexpr std::array<const char*, 7> JoinKeywords = {
    " left join ",
    " right join ",
    " left outer join ",
    " right outer join ",
    " inner join ",
    " left join ",
    " right join ",
};

// Kinds outside the table fall back to the last entry ("is not null"), so a
// stray number still yields a well-formed condition.
std::size_t ComparisonIndex(TComparisonKind kind)
{
    const int value = static_cast<int>(kind);
    return value >= 0 && value < static_cast<int>(ComparisonTemplates.size())
               ? static_cast<std::size_t>(value)
               : ComparisonTemplates.size() - 1;
}

QString ZeroPadded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// hh:nn:ss, 24-hour clock
QString ClockTime(const QTime& t)
{
    return ZeroPadded(t.hour(), 2) + QLatin1Char(':') + ZeroPadded(t.minute(), 2) + QLatin1Char(':')
           + ZeroPadded(t.second(), 2);
}

void RequireValid(bool valid, const char* what)
{
    if (!valid)
        throw EConvertError(QStringLiteral("Invalid %1 for an SQL literal").arg(QLatin1String(what)));
}

// Identifiers in brackets double a closing bracket inside the name.
QString Bracketed(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char(']'), QStringLiteral("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

} // namespace

QString ComparisonDescription(TComparisonKind kind)
{
    return QString::fromLatin1(ComparisonDescriptions[ComparisonIndex(kind)]);
}

QString QuoteSQLString(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString FormatSQLTemplate(const QString& sqlTemplate, const QStringList& operands)
{
    QString result;
    result.reserve(sqlTemplate.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < sqlTemplate.size(); ++i) {
        const QChar c = sqlTemplate.at(i);
        if (c == QLatin1Char('%') && i + 1 < sqlTemplate.size()) {
            const QChar directive = sqlTemplate.at(i + 1);
            if (directive == QLatin1Char('%')) {
                result += QLatin1Char('%');
                ++i;
                continue;
            }
            if (directive == QLatin1Char('s')) {
                if (next < operands.size())
                    result += operands.at(next);
                ++next;
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

// ---------------------------------------------------------------------------
// TSQLAssistant

QString TSQLAssistant::FormatDate(const QDate& date) const
{
    RequireValid(date.isValid(), "date");
    return QStringLiteral("%1/%2/%3").arg(date.month()).arg(date.day()).arg(date.year());
}

QString TSQLAssistant::FormatDateTime(const QDateTime& dateTime) const
{
    RequireValid(dateTime.isValid(), "date-time");
    const QDate d = dateTime.date();
    return ZeroPadded(d.month(), 2) + QLatin1Char('/') + ZeroPadded(d.day(), 2) + QLatin1Char('/')
           + ZeroPadded(d.year(), 4) + QLatin1Char(' ') + ClockTime(dateTime.time());
}

QString TSQLAssistant::DescendingKeyword() const
{
    return QStringLiteral("desc");
}

// Written by hand from the shortest exact decimal expansion instead of through
// QLocale or printf: both follow the process locale, and an SQL number literal
// must use "." everywhere. The value is first rounded to `precision`
// significant digits and to `digits` decimals (half away from zero, in decimal);
// when the integer part needs more than `precision` digits the value is written
// in exponent form ("1E20"), which both engines read as a number.
QString TSQLAssistant::FormatFloat(double value, int precision, int digits) const
{
    RequireValid(std::isfinite(value), "number");
    precision = std::clamp(precision, 1, 18);
    digits = std::clamp(digits, 0, 18);

    // value = 0.<mantissa> * 10^pointPosition
    std::string mantissa;
    int pointPosition = 0;
    if (value != 0.0) {
        char buffer[64];
        const auto converted = std::to_chars(std::begin(buffer), std::end(buffer), std::fabs(value),
                                             std::chars_format::scientific, 20);
        const std::string text(buffer, converted.ptr);
        const std::size_t e = text.find('e');
        mantissa = text.substr(0, 1) + text.substr(2, e - 2);
        pointPosition = std::stoi(text.substr(e + 1)) + 1;

        const int keep = std::min(precision, pointPosition + digits);
        if (keep < 0) {
            mantissa.clear();
        } else {
            const bool roundUp = mantissa[static_cast<std::size_t>(keep)] >= '5';
            mantissa.resize(static_cast<std::size_t>(keep));
            if (roundUp) {
                int i = keep - 1;
                while (i >= 0 && mantissa[static_cast<std::size_t>(i)] == '9')
                    mantissa[static_cast<std::size_t>(i--)] = '0';
                if (i >= 0) {
                    ++mantissa[static_cast<std::size_t>(i)];
                } else {
                    // 9.99 -> 10.0: one more digit before the point
                    mantissa.insert(mantissa.begin(), '1');
                    ++pointPosition;
                }
            }
        }
        if (mantissa.find_first_not_of('0') == std::string::npos)
            mantissa.clear();
    }

    std::string out;
    if (!mantissa.empty() && value < 0)
        out += '-';
    if (!mantissa.empty() && pointPosition > precision) {
        mantissa.erase(mantissa.find_last_not_of('0') + 1);
        out += mantissa[0];
        if (mantissa.size() > 1)
            out += '.' + mantissa.substr(1);
        out += 'E' + std::to_string(pointPosition - 1);
        return QString::fromStdString(out);
    }
    auto digitAt = [&](int position) {
        return position >= 0 && position < static_cast<int>(mantissa.size())
                   ? mantissa[static_cast<std::size_t>(position)]
                   : '0';
    };
    if (mantissa.empty() || pointPosition <= 0)
        out += '0';
    else
        for (int i = 0; i < pointPosition; ++i)
            out += digitAt(i);
    if (digits > 0) {
        out += '.';
        for (int i = 0; i < digits; ++i)
            out += mantissa.empty() ? '0' : digitAt(pointPosition + i);
    }
    return QString::fromStdString(out);
}

QString TSQLAssistant::ComparisonTemplate(TComparisonKind kind) const
{
    return QString::fromLatin1(ComparisonTemplates[ComparisonIndex(kind)]);
}

void TSQLAssistant::TranslateWildcards(QString& text) const
{
    for (QChar& c : text) {
        if (c == QLatin1Char('*'))
            c = m_multiCharWildcard;
        else if (c == QLatin1Char('?'))
            c = m_singleCharWildcard;
    }
}

QString TSQLAssistant::QuoteString(const QString& text) const
{
    return QuoteSQLString(text);
}

QString TSQLAssistant::CaseInsensitive(const QString& expression) const
{
    return QStringLiteral("lower(") + expression + QStringLiteral(") ");
}

void TSQLAssistant::Reserved(const QString&, const QString&, const QString&)
{
}

QString TSQLAssistant::QualifiedName(const QString& table, const QString& column) const
{
    return table + QLatin1Char('.') + column;
}

QString TSQLAssistant::ColumnName(const QString& name) const
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return name;
    return QualifiedName(name.left(dot), name.mid(dot + 1));
}

QString TSQLAssistant::CountExpression() const
{
    return QStringLiteral(" count(*) ");
}

QString TSQLAssistant::JoinClause(const QString&, const QString&, TJoinKind, const QString&,
                                  const QString&, const QString&) const
{
    return QString();
}

QString TSQLAssistant::JoinKeyword(TJoinKind kind)
{
    const int value = static_cast<int>(kind);
    if (value < 0 || value >= static_cast<int>(JoinKeywords.size()))
        throw ETessarynError(QStringLiteral("Unknown join kind %1").arg(value));
    return QString::fromLatin1(JoinKeywords[static_cast<std::size_t>(value)]);
}

// ---------------------------------------------------------------------------
// TSQLServerSQLAssistant

QString TSQLServerSQLAssistant::FormatDateTime(const QDateTime& dateTime) const
{
    RequireValid(dateTime.isValid(), "date-time");
    const QDate d = dateTime.date();
    const QTime t = dateTime.time();
    return ZeroPadded(d.year(), 4) + QLatin1Char('/') + ZeroPadded(d.month(), 2) + QLatin1Char('/')
           + ZeroPadded(d.day(), 2) + QLatin1Char(' ') + ClockTime(t) + QLatin1Char('.')
           + ZeroPadded(t.msec(), 3);
}

// The server already compares text without regard to case.
QString TSQLServerSQLAssistant::CaseInsensitive(const QString& expression) const
{
    return expression;
}

QString TSQLServerSQLAssistant::QualifiedName(const QString& table, const QString& column) const
{
    return Bracketed(table) + QLatin1Char('.') + Bracketed(column);
}

// Bare names are bracketed too, so names that collide with keywords stay usable.
QString TSQLServerSQLAssistant::ColumnName(const QString& name) const
{
    if (!name.contains(QLatin1Char('.')))
        return Bracketed(name);
    return TSQLAssistant::ColumnName(name);
}

QString TSQLServerSQLAssistant::JoinClause(const QString& leftPart, const QString& leftTable,
                                           TJoinKind kind, const QString& rightColumn,
                                           const QString& rightTable,
                                           const QString& leftColumn) const
{
    return leftPart + JoinKeyword(kind) + rightTable + QStringLiteral(" on ")
           + QualifiedName(leftTable, leftColumn) + QStringLiteral(" = ")
           + QualifiedName(rightTable, rightColumn);
}
