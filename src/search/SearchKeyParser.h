#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Splits a typed list into its elements: blanks and commas separate elements,
// double quotes keep blanks inside one element ("" inside quotes stands for one
// quote, a missing closing quote takes the rest of the text), two commas in a
// row give an empty element between them and a comma at the very end adds one
// more empty element. Every element is trimmed of control characters and blanks.
QStringList SplitSearchKeys(const QString& text);

// One key of the search box: a code key (#n) with its digits as typed, or a
// text key with the text searched ("##12" searches for "#12").
struct TSearchKey {
    bool isCode = false;
    QString text;
};
// The keys of a search box text; nullopt when a code key holds no 32-bit
// integer.
std::optional<QList<TSearchKey>> ClassifySearchKeys(const QString& keys);

// Joins terms with a connective in balanced groups of at most eight, each
// group made one term again by wrapGroup: a flat chain would be as deep as
// it is long in the engine's parse tree, which the engines limit.
QString BalancedJoin(const QStringList& terms, const QString& connective,
                     const std::function<QString(const QString& group)>& wrapGroup);

// Turns the keys typed into the search box into one SQL condition. Each text
// key is searched as a substring of every searched column; a key #n asks for
// the entry with code n; the per-key conditions are joined by " and " (all
// keys) or " or " (any key).
class TSearchKeyParser {
public:
    // Parse results.
    static constexpr int ParseOk = 0;
    static constexpr int ParseFailed = 2;

    // Values of Operator; any other value joins like OperatorAll.
    static constexpr int OperatorAll = 0;
    static constexpr int OperatorAny = 1;

    QString Keys;
    int Operator = OperatorAll;
    // The column a #n key is compared with, for example "entries.code".
    QString CodeField;

    // Turns the LIKE pattern of a text key ("%" + key + "%") into the operand
    // written into the condition. A caller that binds the pattern as a
    // parameter returns its placeholder here. Unset, the pattern is written as
    // a string literal with its single quotes doubled, so a key can never end
    // the literal early. It is called once for every place an operand goes, in
    // the order of the condition text, so positional placeholders ("?") bind
    // in the order of the calls.
    std::function<QString(const QString& pattern)> PatternOperand;
    // The comparison used for text keys; an engine whose "like" folds too few
    // letters puts its own operator here.
    QString LikeOperator = QStringLiteral("like");
    // Writes the whole comparison of a column with an operand, for an engine
    // whose form is more than "<column> <operator> <operand>" (an escape
    // clause, a function call). Unset, LikeOperator joins the two.
    std::function<QString(const QString& column, const QString& operand)> LikeCondition;

    // The searched columns, qualified names joined by ",".
    const QString& Fields() const { return m_fields; }
    void SetFields(const QString& fields);

    // ParseOk with the condition (empty when there is nothing to search for),
    // or ParseFailed, in which case the condition is to be ignored. A "%" or
    // "_" typed in a key keeps its wildcard meaning.
    int Parse(QString& condition) const;

private:
    QString TextKeyCondition(const QString& key, const QStringList& columns) const;

    QString m_fields;
};
