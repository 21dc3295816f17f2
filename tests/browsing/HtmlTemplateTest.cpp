#include "browsing/HtmlTemplate.h"

#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using TKind = THtmlPlaceholder::TKind;

struct TPlaceCase {
    const char* where;
    const char* htmlTemplate;
    const char* value;
    TKind kind;
    const char* expected;
};

// Each value is written as the place where the template puts it needs.
TEST(HtmlTemplate, ValuesAreWrittenForTheirPlaceInThePage)
{
    const TPlaceCase cases[] = {
        {"text", "<p>%V%</p>", "a<b> & \"c\" 'd'", TKind::Text, "<p>a&lt;b&gt; &amp; &quot;c&quot; &#39;d&#39;</p>"},
        {"ordinary attribute", "<img alt='%V%'>", "it's \"x\"", TKind::Text, "<img alt='it&#39;s &quot;x&quot;'>"},
        {"unquoted attribute", "<div title=%V%>", "x onclick=go()", TKind::Text, "<div title=x&#32;onclick&#61;go()>"},
        {"link attribute", "<img src=\"%V%_files/a.gif\">", "it's #1 ?50% off", TKind::LinkName,
         "<img src=\"it%27s%20%231%20%3F50%25%20off_files/a.gif\">"},
        {"link attribute, other case", "<A HREF='%V%'>", "a b", TKind::Text, "<A HREF='a%20b'>"},
        {"script string", "<script>var s = '%V%';</script>", "it's \\ </script> \"q\"\n", TKind::Text,
         "<script>var s = 'it\\'s \\\\ \\x3C/script\\x3E \\\"q\\\"\\n';</script>"},
        {"script path", "<script>\n  img.src = '%V%_files/' + x;\n</script>", "it's #1", TKind::LinkName,
         "<script>\n  img.src = 'it%27s%20%231_files/' + x;\n</script>"},
        {"event attribute", "<h2 onclick=\"show('%V%')\">", "a'b\"c", TKind::Text,
         "<h2 onclick=\"show('a\\&#39;b\\&quot;c')\">"},
        {"text after a script", "<script>var a = '<p>';</script><b>%V%</b>", "<i>", TKind::Text,
         "<script>var a = '<p>';</script><b>&lt;i&gt;</b>"},
        {"link name as text", "<title>%V%</title><h1>%V%</h1>", "#1 & co", TKind::LinkName,
         "<title>#1 &amp; co</title><h1>#1 &amp; co</h1>"},
        {"inside a tag", "<div %V%>", "a b=\"c\"", TKind::Text, "<div a%20b%3D%22c%22>"},
        {"style sheet", "<style>body { color: #%V%; }</style>", "FF0000", TKind::Markup,
         "<style>body { color: #FF0000; }</style>"},
        {"markup", "<div>%V%</div>", "<a href=\"x\">x</a>", TKind::Markup, "<div><a href=\"x\">x</a></div>"},
    };
    for (const TPlaceCase& c : cases) {
        SCOPED_TRACE(c.where);
        EXPECT_EQ(FillHtmlTemplate(QString::fromUtf8(c.htmlTemplate),
                                   {{QStringLiteral("%V%"), QString::fromUtf8(c.value), c.kind}}),
                  QString::fromUtf8(c.expected));
    }
}

// What is inserted is never read as template again.
TEST(HtmlTemplate, OnePassLeavesInsertedPlaceholdersAsTheyAre)
{
    const QList<THtmlPlaceholder> values = {{QStringLiteral("%Title%"), QStringLiteral("About %Name% and %Files%")},
                                            {QStringLiteral("%Name%"), QStringLiteral("REPORT"), TKind::LinkName},
                                            {QStringLiteral("%Files%"), QStringLiteral("<a>%Title%</a>"), TKind::Markup}};
    EXPECT_EQ(FillHtmlTemplate(QStringLiteral("<h2>%Title%</h2> %Name% %Files% 100% %Unknown% %name%"), values),
              QStringLiteral("<h2>About %Name% and %Files%</h2> REPORT <a>%Title%</a> 100% %Unknown% %name%"));
}

} // namespace
