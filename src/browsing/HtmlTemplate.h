#pragma once

#include <QList>
#include <QString>

// A value for a placeholder of an HTML template ("%EntryTitle%").
struct THtmlPlaceholder {
    enum TKind {
        // Text for the reader: written in the form its place in the page
        // needs (see FillHtmlTemplate).
        Text,
        // The name of something beside the page (the files folder): shown as
        // text where the page shows it, a link everywhere a page can only
        // use it to reach that place (a link attribute, a script).
        LinkName,
        // HTML the program made itself: inserted as it is.
        Markup,
    };

    QString placeholder;
    QString value;
    TKind kind = Text;
};

// Fills a template in one pass, left to right: each placeholder of the
// template is replaced where the template has it, and what is put in is
// never read as template again, so a title or comment that holds
// "%HTMLName%" or "%Entryfiles%" shows as typed. Placeholders are compared
// with regard to case.
//
// The place of a placeholder in the page decides how a Text or LinkName
// value is written:
// - in text and in ordinary attributes: HTML-escaped;
// - in a link attribute (href, src, ...): percent-encoded, so "#", "?",
//   "%" and blanks are part of the path;
// - in a script, or an event attribute: as a script string's content
//   (quotes, backslashes, "<" and line breaks escaped), a LinkName
//   percent-encoded first;
// - inside a tag but outside any attribute value: percent-encoded, so it
//   cannot add attributes.
QString FillHtmlTemplate(const QString& htmlTemplate, const QList<THtmlPlaceholder>& values);

// The encodings by themselves.
namespace HtmlEncoding {
// & < > " and ' as character references.
QString Text(const QString& text);
// Every character but A-Z, a-z, 0-9 and "-._~" as UTF-8 "%XX".
QString LinkPart(const QString& text);
// The content of a script string between any quotes.
QString ScriptString(const QString& text);
} // namespace HtmlEncoding
