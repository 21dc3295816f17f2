#include "browsing/HtmlTemplate.h"

#include <QUrl>

namespace HtmlEncoding {

QString Text(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': result += QLatin1String("&amp;"); break;
        case '<': result += QLatin1String("&lt;"); break;
        case '>': result += QLatin1String("&gt;"); break;
        case '"': result += QLatin1String("&quot;"); break;
        case '\'': result += QLatin1String("&#39;"); break;
        default: result += c;
        }
    }
    return result;
}

QString LinkPart(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString ScriptString(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case '\\': result += QLatin1String("\\\\"); break;
        case '\'': result += QLatin1String("\\'"); break;
        case '"': result += QLatin1String("\\\""); break;
        case '`': result += QLatin1String("\\`"); break;
        case '$': result += QLatin1String("\\$"); break;
        // "</script" ends the script whatever string it stands in; "&"
        // would be read as a reference inside an attribute.
        case '<': result += QLatin1String("\\x3C"); break;
        case '>': result += QLatin1String("\\x3E"); break;
        case '&': result += QLatin1String("\\x26"); break;
        case '\n': result += QLatin1String("\\n"); break;
        case '\r': result += QLatin1String("\\r"); break;
        default:
            if (u < 0x20 || u == 0x2028 || u == 0x2029)
                result += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
            else
                result += c;
        }
    }
    return result;
}

} // namespace HtmlEncoding

namespace {

// Where a placeholder stands in the page.
enum class TPlace { Text, Tag, Attribute, UnquotedAttribute, Link, Event, Script };

bool IsLinkAttribute(const QString& name)
{
    static const QStringList names = {QStringLiteral("href"),       QStringLiteral("src"),    QStringLiteral("action"),
                                      QStringLiteral("background"), QStringLiteral("cite"),   QStringLiteral("data"),
                                      QStringLiteral("formaction"), QStringLiteral("poster"), QStringLiteral("longdesc"),
                                      QStringLiteral("usemap"),     QStringLiteral("srcset"), QStringLiteral("ping")};
    return names.contains(name);
}

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
           || c == QLatin1Char('\f');
}

// An unquoted attribute value ends at a blank and takes "=" and "`" badly.
QString UnquotedAttribute(const QString& text)
{
    QString result;
    for (const QChar c : HtmlEncoding::Text(text)) {
        if (IsBlank(c) || c == QLatin1Char('=') || c == QLatin1Char('`'))
            result += QStringLiteral("&#%1;").arg(int(c.unicode()));
        else
            result += c;
    }
    return result;
}

QString Encode(const THtmlPlaceholder& value, TPlace place)
{
    using namespace HtmlEncoding;
    if (value.kind == THtmlPlaceholder::Markup)
        return value.value;
    const bool link = value.kind == THtmlPlaceholder::LinkName;
    switch (place) {
    case TPlace::Text:
    case TPlace::Attribute:
        return Text(value.value);
    case TPlace::UnquotedAttribute:
        return UnquotedAttribute(value.value);
    case TPlace::Link:
    case TPlace::Tag:
        return LinkPart(value.value);
    case TPlace::Script:
        return ScriptString(link ? LinkPart(value.value) : value.value);
    case TPlace::Event:
        return Text(ScriptString(link ? LinkPart(value.value) : value.value));
    }
    return Text(value.value);
}

// Follows the template through the states of an HTML reader far enough to
// know where each placeholder stands: text, a tag, an attribute's value (and
// which attribute), a script or a style sheet. Only the template is read;
// the values inserted are not.
class TTemplateReader {
public:
    TTemplateReader(const QString& text, const QList<THtmlPlaceholder>& values) : m_text(text), m_values(values) {}

    QString Fill()
    {
        m_out.reserve(m_text.size());
        while (m_at < m_text.size()) {
            if (m_text[m_at] == QLatin1Char('%') && InsertPlaceholder())
                continue;
            Step();
        }
        return m_out;
    }

private:
    enum class TState { Text, Comment, TagName, InTag, AttrName, AfterAttrName, BeforeValue, Value, UnquotedValue, RawText };

    bool InsertPlaceholder()
    {
        for (const THtmlPlaceholder& value : m_values) {
            if (QStringView(m_text).mid(m_at).startsWith(value.placeholder)) {
                // A value that begins right after "=" is an unquoted one.
                if (m_state == TState::BeforeValue)
                    m_state = TState::UnquotedValue;
                m_out += Encode(value, Place());
                m_at += value.placeholder.size();
                return true;
            }
        }
        return false;
    }

    TPlace Place() const
    {
        switch (m_state) {
        case TState::Text:
        case TState::Comment:
            return TPlace::Text;
        case TState::RawText:
            return m_rawTag == QLatin1String("script") ? TPlace::Script : TPlace::Text;
        case TState::Value:
        case TState::UnquotedValue:
            if (IsLinkAttribute(m_attribute))
                return TPlace::Link;
            if (m_attribute.startsWith(QLatin1String("on")))
                return TPlace::Event;
            return m_state == TState::Value ? TPlace::Attribute : TPlace::UnquotedAttribute;
        default:
            return TPlace::Tag;
        }
    }

    bool Ahead(QLatin1String text) const { return QStringView(m_text).mid(m_at).startsWith(text, Qt::CaseInsensitive); }

    // Copies the character at m_at (or a few) and moves the state on.
    void Step()
    {
        const QChar c = m_text[m_at];
        switch (m_state) {
        case TState::Text:
            if (Ahead(QLatin1String("<!--"))) {
                Copy(4);
                m_state = TState::Comment;
                return;
            }
            if (c == QLatin1Char('<') && m_at + 1 < m_text.size()) {
                const QChar next = m_text[m_at + 1];
                const bool closing = next == QLatin1Char('/');
                const QChar first = closing && m_at + 2 < m_text.size() ? m_text[m_at + 2] : next;
                if (first.isLetter()) {
                    OpenTag(closing);
                    return;
                }
            }
            break;
        case TState::Comment:
            if (Ahead(QLatin1String("-->"))) {
                Copy(3);
                m_state = TState::Text;
                return;
            }
            break;
        case TState::RawText:
            // Only its own end tag ends a script or a style sheet.
            if (Ahead(QLatin1String("</")) && QStringView(m_text).mid(m_at + 2).startsWith(m_rawTag, Qt::CaseInsensitive)) {
                const qsizetype after = m_at + 2 + m_rawTag.size();
                if (after >= m_text.size() || IsBlank(m_text[after]) || m_text[after] == QLatin1Char('>')
                    || m_text[after] == QLatin1Char('/')) {
                    OpenTag(true);
                    return;
                }
            }
            break;
        case TState::TagName:
            if (c.isLetterOrNumber() || c == QLatin1Char('-')) {
                m_tag += c.toLower();
                break;
            }
            m_state = TState::InTag;
            return;   // the same character again, in the tag
        case TState::InTag:
            if (c == QLatin1Char('>')) {
                const bool raw = !m_closing && (m_tag == QLatin1String("script") || m_tag == QLatin1String("style"));
                m_rawTag = raw ? m_tag : QString();
                m_state = raw ? TState::RawText : TState::Text;
            } else if (!IsBlank(c) && c != QLatin1Char('/')) {
                m_attribute = c.toLower();
                m_state = TState::AttrName;
            }
            break;
        case TState::AttrName:
        case TState::AfterAttrName:
            if (c == QLatin1Char('=')) {
                m_state = TState::BeforeValue;
            } else if (c == QLatin1Char('>') || c == QLatin1Char('/')) {
                m_state = TState::InTag;
                return;
            } else if (IsBlank(c)) {
                m_state = TState::AfterAttrName;
            } else if (m_state == TState::AfterAttrName) {
                m_attribute = c.toLower();
                m_state = TState::AttrName;
            } else {
                m_attribute += c.toLower();
            }
            break;
        case TState::BeforeValue:
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                m_quote = c;
                m_state = TState::Value;
            } else if (c == QLatin1Char('>')) {
                m_state = TState::InTag;
                return;
            } else if (!IsBlank(c)) {
                m_state = TState::UnquotedValue;
                return;
            }
            break;
        case TState::Value:
            if (c == m_quote)
                m_state = TState::InTag;
            break;
        case TState::UnquotedValue:
            if (c == QLatin1Char('>')) {
                m_state = TState::InTag;
                return;
            }
            if (IsBlank(c))
                m_state = TState::InTag;
            break;
        }
        Copy(1);
    }

    // "<" or "</" at m_at, a tag's name next.
    void OpenTag(bool closing)
    {
        Copy(closing ? 2 : 1);
        m_closing = closing;
        m_tag.clear();
        m_state = TState::TagName;
    }

    void Copy(qsizetype count)
    {
        m_out += QStringView(m_text).mid(m_at, count);
        m_at += count;
    }

    const QString& m_text;
    const QList<THtmlPlaceholder>& m_values;
    QString m_out;
    qsizetype m_at = 0;
    TState m_state = TState::Text;
    QString m_tag, m_rawTag, m_attribute;
    bool m_closing = false;
    QChar m_quote;
};

} // namespace

QString FillHtmlTemplate(const QString& htmlTemplate, const QList<THtmlPlaceholder>& values)
{
    return TTemplateReader(htmlTemplate, values).Fill();
}
