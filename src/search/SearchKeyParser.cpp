#include "search/SearchKeyParser.h"

#include "db/SQLSupport.h"

#include <exception>
#include <limits>
#include <optional>

namespace {

// Control characters and the blank separate keys. NUL counts among them: it
// cannot be typed into the search box, and as a separator it can neither stall
// the scan nor cut off the rest of the text.
bool IsBlank(QChar c)
{
    return c.unicode() <= 32;
}

QString TrimmedOfBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text.at(first)))
        ++first;
    while (last > first && IsBlank(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

// A code key holds a 32-bit code in plain decimal: an optional "+" or "-"
// followed by ASCII digits only, no blanks, no hexadecimal, within the range
// of a 32-bit signed integer. Anything else is not a code. Only text that
// passed this check is written into the condition, as typed.
std::optional<qint64> DecimalCode(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return value;
}

} // namespace

QStringList SplitSearchKeys(const QString& text)
{
    QStringList elements;
    const qsizetype length = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < length && IsBlank(text.at(i)))
            ++i;
    };

    skipBlanks();
    while (i < length) {
        QString element;
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < length) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < length && text.at(i + 1) == QLatin1Char('"')) {
                        element += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                element += text.at(i++);
            }
        } else {
            const qsizetype start = i;
            while (i < length && !IsBlank(text.at(i)) && text.at(i) != QLatin1Char(','))
                ++i;
            element = text.mid(start, i - start);
        }
        elements.append(TrimmedOfBlanks(element));

        skipBlanks();
        if (i < length && text.at(i) == QLatin1Char(',')) {
            if (i + 1 == length)
                elements.append(QString());
            ++i;
            skipBlanks();
        }
    }
    return elements;
}

QString BalancedJoin(const QStringList& terms, const QString& connective,
                    const std::function<QString(const QString& group)>& wrapGroup)
{
    // Groups of at most eight keep the depth to a few levels for any number
    // of keys (SQLite refuses an expression deeper than 1,000), and leave
    // the meaning as it is.
    constexpr int kGroup = 8;
    if (terms.size() <= kGroup)
        return terms.join(connective);
    QStringList groups;
    const qsizetype step = (terms.size() + kGroup - 1) / kGroup;
    for (qsizetype first = 0; first < terms.size(); first += step)
        groups.append(wrapGroup(BalancedJoin(terms.mid(first, step), connective, wrapGroup)));
    return groups.join(connective);
}

std::optional<QList<TSearchKey>> ClassifySearchKeys(const QString& keys)
{
    QList<TSearchKey> result;
    for (const QString& key : SplitSearchKeys(keys)) {
        if (key.startsWith(QLatin1Char('#')) && key.size() > 1 && key.at(1) != QLatin1Char('#')) {
            const QString digits = key.mid(1);
            if (!DecimalCode(digits))
                return std::nullopt;
            result.append({true, digits});
        } else {
            // "##12" searches for the text "#12"; a lone "#" is searched as typed.
            result.append({false, key.startsWith(QStringLiteral("##")) ? key.mid(1) : key});
        }
    }
    return result;
}

void TSearchKeyParser::SetFields(const QString& fields)
{
    m_fields = fields.trimmed();
}

QString TSearchKeyParser::TextKeyCondition(const QString& key, const QStringList& columns) const
{
    const QString pattern = QLatin1Char('%') + key + QLatin1Char('%');
    QStringList perColumn;
    for (const QString& column : columns) {
        const QString operand = PatternOperand ? PatternOperand(pattern) : QuoteSQLString(pattern);
        const QString comparison = LikeCondition ? LikeCondition(column, operand)
                                                 : column + QLatin1Char(' ') + LikeOperator + QLatin1Char(' ') + operand;
        perColumn.append(QStringLiteral(" (") + comparison + QStringLiteral(") "));
    }
    return perColumn.join(QStringLiteral(" or "));
}

int TSearchKeyParser::Parse(QString& condition) const
{
    condition.clear();
    try {
        QStringList columns = SplitSearchKeys(m_fields);
        // "a,,b" would leave a column without a name and a broken statement.
        columns.removeAll(QString());
        // Without columns nothing is searched, whatever the keys are.
        if (columns.isEmpty())
            return ParseOk;
        const std::optional<QList<TSearchKey>> keys = ClassifySearchKeys(Keys);
        if (!keys)
            return ParseFailed;
        if (keys->isEmpty())
            return ParseOk;

        QStringList keyConditions;
        for (const TSearchKey& key : *keys) {
            const QString inner = key.isCode ? CodeField + QStringLiteral(" = ") + key.text
                                             : TextKeyCondition(key.text, columns);
            keyConditions.append(QStringLiteral(" (") + inner + QStringLiteral(") "));
        }
        const QString connective = Operator == OperatorAny ? QStringLiteral(" or ") : QStringLiteral(" and ");
        const auto parenthesised = [](const QString& group) -> QString { return QLatin1Char('(') + group + QLatin1Char(')'); };
        condition = parenthesised(BalancedJoin(keyConditions, connective, parenthesised));
        return ParseOk;
    } catch (const std::exception&) {
        // A failing operand hook is reported like any other parse failure.
        condition.clear();
        return ParseFailed;
    }
}
