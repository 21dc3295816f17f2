#pragma once

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

// The small pieces of SQL whose form differs between database engines: date and
// number literals, comparison templates, wildcards, quoting of strings and
// identifiers, case folding, counting and joins. Query builders ask a dialect
// assistant for these pieces instead of writing them inline, so that engine
// specific SQL is chosen in one place.
//
// Lifetime: an assistant is created for one query and released when the last
// reference goes. References are std::shared_ptr<ISQLAssistant>
// (ISQLAssistantPtr); there is no manual reference counting.

// How a column is compared with an operand. The numbers are stable: condition
// editors store them, and any number beyond the last one means "is not null".
enum TComparisonKind : int {
    ckEqual = 0,
    ckNotEqual = 1,
    ckGreater = 2,
    ckGreaterOrEqual = 3,
    ckLess = 4,
    ckLessOrEqual = 5,
    ckBeginsWith = 6,
    ckNotBeginsWith = 7,
    ckEndsWith = 8,
    ckNotEndsWith = 9,
    ckContains = 10,
    ckNotContains = 11,
    ckIsNull = 12,
    ckIsNotNull = 13,
};

// How two tables are joined. Kinds 5 and 6 write the same keywords as kinds 0
// and 1; they stay so that every stored kind number keeps its meaning.
enum TJoinKind : int {
    jkLeft = 0,
    jkRight = 1,
    jkLeftOuter = 2,
    jkRightOuter = 3,
    jkInner = 4,
    jkLeftAlternate = 5,
    jkRightAlternate = 6,
};

// Texts for condition editors: one description per comparison kind, in kind
// order, and the two words that join conditions.
inline constexpr std::array<const char*, 14> ComparisonDescriptions = {
    "is",
    "is not",
    "is greater than",
    "is greater or equal to",
    "is less than",
    "is less or equal to",
    "begins with",
    "does not begin with",
    "ends with",
    "does not end with",
    "contains",
    "does not contain",
    "is null",
    "is not null",
};
inline constexpr std::array<const char*, 2> ConnectiveWords = {"and", "or"};

// The description of a kind; a kind outside the table reads "is not null", the
// same way ComparisonTemplate treats it.
QString ComparisonDescription(TComparisonKind kind);

// Encloses a text in single quotes and doubles every single quote inside, so
// the text can never end the literal early.
QString QuoteSQLString(const QString& text);

// Fills a comparison template: each "%s" takes the next operand, "%%" stands
// for one "%". A "%s" without an operand left stays empty.
QString FormatSQLTemplate(const QString& sqlTemplate, const QStringList& operands);

class ISQLAssistant {
public:
    virtual ~ISQLAssistant() = default;

    // month/day/year without leading zeros: 3/5/2006
    virtual QString FormatDate(const QDate& date) const = 0;
    virtual QString FormatDateTime(const QDateTime& dateTime) const = 0;
    virtual QString DescendingKeyword() const = 0;
    // Fixed-point with "." as decimal separator whatever the locale; the value
    // is rounded to `precision` significant digits and written with `digits`
    // decimals.
    virtual QString FormatFloat(double value, int precision, int digits) const = 0;
    virtual QString ComparisonTemplate(TComparisonKind kind) const = 0;
    // "*" becomes the multi-character wildcard, "?" the single-character one.
    virtual void TranslateWildcards(QString& text) const = 0;
    virtual QString QuoteString(const QString& text) const = 0;
    virtual QString CaseInsensitive(const QString& expression) const = 0;
    // Kept free for a later operation; has no effect.
    virtual void Reserved(const QString& first, const QString& second, const QString& third) = 0;
    virtual QString QualifiedName(const QString& table, const QString& column) const = 0;
    virtual QString ColumnName(const QString& name) const = 0;
    virtual QString CountExpression() const = 0;
    virtual QString JoinClause(const QString& leftPart, const QString& leftTable, TJoinKind kind,
                               const QString& rightColumn, const QString& rightTable,
                               const QString& leftColumn) const = 0;
};

using ISQLAssistantPtr = std::shared_ptr<ISQLAssistant>;

// The generic dialect. Engine dialects derive from it and override what their
// engine writes differently.
class TSQLAssistant : public ISQLAssistant {
public:
    TSQLAssistant() = default;

    QString FormatDate(const QDate& date) const override;
    QString FormatDateTime(const QDateTime& dateTime) const override;
    QString DescendingKeyword() const override;
    QString FormatFloat(double value, int precision, int digits) const override;
    QString ComparisonTemplate(TComparisonKind kind) const override;
    void TranslateWildcards(QString& text) const override;
    QString QuoteString(const QString& text) const override;
    QString CaseInsensitive(const QString& expression) const override;
    void Reserved(const QString& first, const QString& second, const QString& third) override;
    QString QualifiedName(const QString& table, const QString& column) const override;
    QString ColumnName(const QString& name) const override;
    QString CountExpression() const override;
    // The generic dialect knows no join syntax and returns an empty text.
    QString JoinClause(const QString& leftPart, const QString& leftTable, TJoinKind kind,
                       const QString& rightColumn, const QString& rightTable,
                       const QString& leftColumn) const override;

    QChar MultiCharWildcard() const { return m_multiCharWildcard; }
    QChar SingleCharWildcard() const { return m_singleCharWildcard; }

protected:
    // The join keywords with their surrounding blanks, " left join " and so on.
    static QString JoinKeyword(TJoinKind kind);

private:
    QChar m_multiCharWildcard = QLatin1Char('%');
    QChar m_singleCharWildcard = QLatin1Char('_');
};

// The bracket-quoting dialect: bracketed identifiers, date-times with
// milliseconds, case-insensitive comparison by the server, real joins.
class TSQLServerSQLAssistant : public TSQLAssistant {
public:
    QString FormatDateTime(const QDateTime& dateTime) const override;
    QString CaseInsensitive(const QString& expression) const override;
    // "[table].[column]"; a "]" inside a name is doubled, the server's own
    // quoting rule, so a name cannot close its bracket early.
    QString QualifiedName(const QString& table, const QString& column) const override;
    QString ColumnName(const QString& name) const override;
    QString JoinClause(const QString& leftPart, const QString& leftTable, TJoinKind kind,
                       const QString& rightColumn, const QString& rightTable,
                       const QString& leftColumn) const override;
};

// Exists from start-up to exit and holds nothing; query builders create the
// dialect they need directly.
class TSQLAssistantFactory {
};

extern TSQLAssistantFactory SQLAssistantFactory;
