#include "TestFiles.h"
#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "engine/Category.h"
#include "engine/EntryCapture.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/OpenEntries.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kStamp = QStringLiteral("\\d{8}_\\d{9}");
const QString kNothing = QStringLiteral("The clipboard holds nothing that can be stored.");
constexpr int kNotes = 7;

// Names in a folder, files and folders, hidden ones included.
QStringList NamesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString Crlf(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

QByteArray Utf16Le(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// What a browser offers for a link dragged out of a page: the link with its
// title, the link as text, and a fragment that encloses one line.
QMimeData* BrowserLink(const QString& url, const QString& title)
{
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/x-moz-url"), Utf16Le(url + u'\n' + title));
    mime->setText(url);
    mime->setHtml(QStringLiteral("<html><body>\r\n<!--StartFragment-->\r\n<a href=\"%1\">%2</a>\r\n"
                                 "<!--EndFragment-->\r\n</body>\r\n</html>")
                      .arg(url, title));
    return mime;
}

QMimeData* PlainText(const QString& text)
{
    auto* mime = new QMimeData;
    mime->setText(text);
    return mime;
}

QMimeData* LocalFiles(const QStringList& paths)
{
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    mime->setUrls(urls);
    return mime;
}

void SetClipboard(QMimeData* mime)
{
    if (mime)
        QGuiApplication::clipboard()->setMimeData(mime);
    else
        QGuiApplication::clipboard()->clear();
}

// Makes the test's folders reachable for another user, for the tests that
// drop the superuser's right to read everything.
void OpenFolderChain(const QString& folder)
{
    const QString top = QDir::tempPath();
    for (QDir dir(folder); dir.absolutePath().startsWith(top + u'/'); dir.cdUp())
        ::chmod(QFile::encodeName(dir.absolutePath()).constData(), 0777);
}

// Files are read and written as an ordinary user for the length of a scope:
// the superuser could read a file without any read permission.
class TOrdinaryUser {
public:
    TOrdinaryUser() : m_switched(::geteuid() == 0)
    {
        if (m_switched)
            ::setfsuid(65534);
    }
    ~TOrdinaryUser()
    {
        if (m_switched)
            ::setfsuid(0);
    }

private:
    bool m_switched;
};

// --- the event assistant on its own ------------------------------------------

// The main data module over a fresh database with one category, the event
// assistant and an empty folder to write into.
class CaptureFixture : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, 0, 'Notes')").arg(kNotes)))
            << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        events = std::make_unique<TEventAssistant>(*main);
        folder = TestEnv::ScratchFolder();
    }
    void TearDown() override
    {
        SetClipboard(nullptr);
        events.reset();
        main.reset();
        EngineTest::TearDown();
    }

    // Pastes the clipboard into the folder as the main window's drop handler
    // does during a paste.
    QStringList Paste(QMimeData* mime, int handling)
    {
        SetClipboard(mime);
        main->App.ClipboardTextHandling = handling;
        return events->PasteClipboard(
            [this](const TDropData& data) { return events->StoreDroppedData(folder, data); });
    }

    QString PageHeadText(const QString& colour = "#ffffff") const
    {
        return Crlf({"<!DOCTYPE html>", "<html>", "<head>", "<meta charset=\"utf-8\">",
                     "<title>HTML page auto-created by Tessaryn v." + VersionText(true) + "</title>", "</head>",
                     "<body style=\"margin: 10px; background-color: " + colour + "\">"});
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TEventAssistant> events;
    QString folder;
};

class EventAssistantTest : public CaptureFixture {};

TEST_P(EventAssistantTest, MimeDataGivesFilesTextHtmlAndLink)
{
    const QString a = folder + "a.txt";
    const QString b = folder + "sub dir/b.txt";
    WriteFile(a, "A");
    WriteFile(b, "B");

    // A file manager's drag: the files, and their paths once more as text.
    std::unique_ptr<QMimeData> files(LocalFiles({a, b}));
    files->setText(QUrl::fromLocalFile(a).toString() + "\n" + b + "\n");
    TDropData data = TDropData::FromMimeData(*files);
    EXPECT_EQ(data.Files, QStringList({a, b}));
    EXPECT_TRUE(data.Text.isEmpty()) << data.Text.toStdString();
    EXPECT_TRUE(data.Url.isEmpty());

    // ... and one that names a file as a link too: still a file, not a link.
    files->setData("text/x-moz-url", QUrl::fromLocalFile(a).toString().toUtf8());
    EXPECT_TRUE(TDropData::FromMimeData(*files).Url.isEmpty());

    // A browser's link: title from the moz-url (UTF-16), text, a bare fragment.
    std::unique_ptr<QMimeData> link(new QMimeData);
    link->setData("text/x-moz-url", Utf16Le("https://example.org/a?b=1\nExample page"));
    link->setText("https://example.org/a?b=1");
    link->setHtml("<meta charset='utf-8'><a href=\"https://example.org/a?b=1\">Anchor text</a>");
    data = TDropData::FromMimeData(*link);
    EXPECT_EQ(data.Url, "https://example.org/a?b=1");
    EXPECT_EQ(data.UrlTitle, "Example page");
    EXPECT_EQ(data.Text, "https://example.org/a?b=1");
    EXPECT_TRUE(data.Files.isEmpty());
    // The bare fragment is presented inside a document with the fragment
    // markers, and counts as the one-line fragment of a link.
    ASSERT_EQ(data.HtmlLines.size(), 6) << data.HtmlLines.join(" | ").toStdString();
    EXPECT_EQ(data.HtmlLines.first(), "<html><body>");
    EXPECT_TRUE(data.HtmlLines[2].contains("Anchor text"));
    EXPECT_TRUE(TEventAssistant::IsSingleLineFragment(data.HtmlLines));

    // A single web address in text/uri-list; its title from the anchor
    // pointing at it, not from the first anchor.
    std::unique_ptr<QMimeData> uri(new QMimeData);
    uri->setUrls({QUrl("https://example.org/page")});
    uri->setHtml("<p><a href=\"https://other.org/\">Other</a> and <A HREF=\"https://example.org/page\"><b>The</b> "
                 "page</A></p>");
    data = TDropData::FromMimeData(*uri);
    EXPECT_EQ(data.Url, "https://example.org/page");
    EXPECT_EQ(data.UrlTitle, "The page");
    // Without text/plain, the text comes from the HTML.
    EXPECT_EQ(data.Text.simplified(), "Other and The page");

    // Two web addresses are no link; a list without text offers nothing.
    uri->setUrls({QUrl("https://example.org/1"), QUrl("https://example.org/2")});
    uri->removeFormat("text/html");
    EXPECT_TRUE(TDropData::FromMimeData(*uri).IsEmpty());

    // Lower ranks: rich text source unchanged, then CSV.
    std::unique_ptr<QMimeData> other(new QMimeData);
    other->setData("text/csv", "a;b\r\n1;2\r\n");
    EXPECT_EQ(TDropData::FromMimeData(*other).Text, "a;b\r\n1;2\r\n");
    other->setData("text/rtf", "{\\rtf1\\ansi caf\\'e9}");
    EXPECT_EQ(TDropData::FromMimeData(*other).Text, "{\\rtf1\\ansi caf\\'e9}");

    // Pictures are not stored.
    std::unique_ptr<QMimeData> picture(new QMimeData);
    picture->setData("image/png", QByteArray("\x89PNG\r\n", 6));
    EXPECT_TRUE(TDropData::FromMimeData(*picture).IsEmpty());
}

TEST_P(EventAssistantTest, DroppedBrowserLinkBecomesShortcutAndPastedOneFollowsTheSetting)
{
    const QString url = QStringLiteral("https://example.org/articles?id=7&x=1");
    const QString title = QStringLiteral("Example article about captures");
    main->App.ClipboardTextHandling = 3;   // a real drop ignores the setting

    std::unique_ptr<QMimeData> mime(BrowserLink(url, title));
    const TDropData data = TDropData::FromMimeData(*mime);
    EXPECT_TRUE(TEventAssistant::IsSingleLineFragment(data.HtmlLines));
    const QStringList written = events->StoreDroppedData(folder, data);
    ASSERT_EQ(written.size(), 1);
    const QString name = QFileInfo(written.first()).fileName();
    EXPECT_TRUE(QRegularExpression("^Example article abou" + kStamp + "\\.url$").match(name).hasMatch())
        << name.toStdString();
    EXPECT_EQ(ReadFile(written.first()), "[InternetShortcut]\r\nURL=" + url.toUtf8() + "\r\n");
    EXPECT_EQ(main->App.ClipboardTextHandling, 3);
    EXPECT_TRUE(events->RealDrop());

    // Pasted, the same link follows "Clipboard text handling".
    const QStringList asHtml = Paste(BrowserLink(url, title), 2);
    ASSERT_EQ(asHtml.size(), 1);
    EXPECT_TRUE(QRegularExpression("/Html_" + kStamp + "\\.html$").match(asHtml.first()).hasMatch());
    EXPECT_TRUE(ReadFile(asHtml.first()).contains("https://example.org/articles?id=7&amp;x=1<br>\r\n"));

    const QStringList asText = Paste(BrowserLink(url, title), 3);
    ASSERT_EQ(asText.size(), 1);
    EXPECT_TRUE(QRegularExpression("/Text_" + kStamp + "\\.txt$").match(asText.first()).hasMatch());
    EXPECT_EQ(ReadFile(asText.first()), url.toUtf8() + "\r\n");

    const QStringList automatic = Paste(BrowserLink(url, title), 1);
    ASSERT_EQ(automatic.size(), 1);
    EXPECT_TRUE(automatic.first().endsWith(".url"));
    EXPECT_TRUE(events->RealDrop());
    EXPECT_EQ(NamesIn(folder).size(), 4);
}

TEST_P(EventAssistantTest, FormattedContentIsStoredByTheSetting)
{
    // A drop of formatted content from a browser stores a web page.
    std::unique_ptr<QMimeData> mime(new QMimeData);
    mime->setHtml("<p>Some <b>bold</b> words</p>\n<p>and a second paragraph</p>");
    mime->setText("Some bold words\nand a second paragraph");
    const TDropData data = TDropData::FromMimeData(*mime);
    const QStringList page = events->StoreDroppedData(folder, data);
    ASSERT_EQ(page.size(), 1);
    EXPECT_EQ(ReadFile(page.first()), (PageHeadText()
                                   + Crlf({"<!--StartFragment-->", "<p>Some <b>bold</b> words</p>",
                                           "<p>and a second paragraph</p>", "<!--EndFragment-->", "</body>",
                                           "</html>"}))
                                      .toUtf8());

    const struct {
        int handling;
        QString suffix;
        QByteArray content;
    } cases[] = {
        {3, ".txt", "Some bold words\r\nand a second paragraph\r\n"},
        {4, ".html", "Some&nbsp;bold&nbsp;words<br>\r\nand&nbsp;a&nbsp;second&nbsp;paragraph<br>\r\n"},
        {2, ".html", "<p>Some <b>bold</b> words</p>\r\n"},
    };
    for (const auto& c : cases) {
        auto* copy = new QMimeData;
        copy->setHtml(mime->html());
        copy->setText(mime->text());
        const QStringList pasted = Paste(copy, c.handling);
        ASSERT_EQ(pasted.size(), 1) << c.handling;
        EXPECT_TRUE(pasted.first().endsWith(c.suffix)) << c.handling;
        EXPECT_TRUE(ReadFile(pasted.first()).contains(c.content)) << c.handling << ReadFile(pasted.first()).toStdString();
    }
}

TEST_P(EventAssistantTest, TextAsHtmlPageEscapesEveryLine)
{
    const QStringList written = Paste(PlainText("a<b\nx y\r\n\tt|\"&>\r\n\u00c4\u03a9</p>\n"), 4);
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(ReadFile(written.first()),
              (PageHeadText()
               + Crlf({"a&lt;b<br>", "x&nbsp;y<br>", "&nbsp;&nbsp;&nbsp;t|&quot;&amp;&gt;<br>",
                       "\u00c4\u03a9&lt;/p&gt;<br>", "</body>", "</html>"}))
                  .toUtf8());

    // The page is UTF-8 and says so whatever charset the settings name; the
    // background colour is written as CSS wants it.
    const struct {
        QString setting;
        QString colour;
    } colours[] = {{"A0B1C2", "#a0b1c2"}, {"00ff7f", "#00ff7f"}, {"00zz00", "#ffffff"}};
    main->App.StoreCharsetInHtml = true;
    main->App.HtmlCharset = "windows-1253";
    for (const auto& c : colours) {
        main->App.HtmlBackgroundColor = c.setting;
        const QStringList page = Paste(PlainText("x"), 2);
        ASSERT_EQ(page.size(), 1);
        EXPECT_EQ(ReadFile(page.first()), (PageHeadText(c.colour) + Crlf({"x<br>", "</body>", "</html>"})).toUtf8())
            << c.setting.toStdString();
    }

    // Plain text pasted the automatic way, or as text, is a text file of its
    // lines with CR LF after each.
    for (const int handling : {1, 3}) {
        const QStringList text = Paste(PlainText("one\rtwo\n\nthree"), handling);
        ASSERT_EQ(text.size(), 1);
        EXPECT_TRUE(text.first().endsWith(".txt"));
        EXPECT_EQ(ReadFile(text.first()), "one\r\ntwo\r\n\r\nthree\r\n");
    }
}

TEST_P(EventAssistantTest, HtmlEscapeTable)
{
    const struct {
        char16_t c;
        const char* escaped;
    } table[] = {
        {u'\t', "&nbsp;&nbsp;&nbsp;"}, {u' ', "&nbsp;"},     {u'"', "&quot;"},    {u'&', "&amp;"},
        {u'<', "&lt;"},                {u'>', "&gt;"},       {164, "&curren;"},   {166, "&brvbar;"},
        {167, "&sect;"},               {169, "&copy;"},      {171, "&laquo;"},    {172, "&not;"},
        {173, "&shy;"},                {174, "&reg;"},       {176, "&deg;"},      {177, "&plusmn;"},
        {182, "&para;"},               {183, "&middot;"},    {187, "&raquo;"},
    };
    for (const auto& row : table)
        EXPECT_EQ(TEventAssistant::HtmlEscape(QString(QChar(row.c))), QString::fromLatin1(row.escaped)) << int(row.c);
    // Everything else stays: "|", the neighbours of the table's values,
    // letters beyond ASCII.
    const QString unchanged = QStringLiteral("|a'\u00a5\u00a8\u00aa\u00b5\u00e9\u20ac");
    EXPECT_EQ(TEventAssistant::HtmlEscape(unchanged), unchanged);
    EXPECT_EQ(TEventAssistant::HtmlFromText("a\r\n\r\nb\n"), "a<br>\r\n<br>\r\nb<br>\r\n");
}

TEST_P(EventAssistantTest, FragmentLinesAndHtmlPages)
{
    const struct {
        QStringList lines;
        bool single;
    } fragments[] = {
        {{"<html><body>", "<!--StartFragment-->", "<a href=x>t</a>", "<!--EndFragment-->", "</body>"}, true},
        {{"<html><body>", "<!--StartFragment-->", "one", "two", "<!--EndFragment-->"}, false},
        {{"<HTML>", "<BODY>", "only line", "</BODY>"}, true},                 // no fragment markers
        {{"<html><body><!--StartFragment--><a>t</a><!--EndFragment--></body></html>"}, false},
        {{"line", "x", "<!--EndFragment-->"}, true},                           // absent start counts as line 0
        {{}, false},
    };
    for (const auto& f : fragments)
        EXPECT_EQ(TEventAssistant::IsSingleLineFragment(f.lines), f.single) << f.lines.join(" | ").toStdString();

    // The clipboard's header lines go before a whole document.
    const QStringList document{"Version:0.9", "StartHTML:0000000105", "<!DOCTYPE html>", "<HTML lang=en>",
                               "<body>", "<p>x</p>", "</body>", "</HTML>"};
    QStringList written = events->SaveHtml(document, folder);
    EXPECT_EQ(ReadFile(written.first()), Crlf(document.mid(3)).toUtf8());

    // A fragment in a bare document gets a generated head; the remaining
    // clipboard lines bring the closing tags.
    const QStringList fragment{"Version:1.0", "<html><body>", "<!--StartFragment--><i>it</i><!--EndFragment-->",
                               "</body>", "</html>"};
    written = events->SaveHtml(fragment, folder);
    EXPECT_EQ(ReadFile(written.first()), (PageHeadText() + Crlf(fragment.mid(2))).toUtf8());

    // Content behind the marker on its own line stays.
    written = events->SaveHtml({"<HTML><BODY><p>kept</p>", "</BODY></HTML>"}, folder);
    EXPECT_EQ(ReadFile(written.first()), (PageHeadText() + Crlf({"<p>kept</p>", "</BODY></HTML>"})).toUtf8());

    // No document at all: the lines as they are.
    written = events->SaveHtml({"<p>a</p>", "<p>b</p>"}, folder);
    EXPECT_EQ(ReadFile(written.first()), "<p>a</p>\r\n<p>b</p>\r\n");
}

TEST_P(EventAssistantTest, CapturesInOneMillisecondGetDistinctNames)
{
    // Names of the coming milliseconds are taken already: the writer must
    // move past them without replacing any.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList occupied;
    for (int ms = 0; ms < 15; ++ms) {
        occupied.append(folder + "Text_" + TimeStampText(now.addMSecs(ms)) + ".txt");
        WriteFile(occupied.last(), "occupied");
    }
    QStringList written;
    for (int i = 0; i < 8; ++i)
        written += events->SaveText(QString::number(i), folder);
    ASSERT_EQ(written.size(), 8);
    EXPECT_EQ(QSet<QString>(written.begin(), written.end()).size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(occupied.contains(written[i])) << written[i].toStdString();
        EXPECT_EQ(ReadFile(written[i]), QByteArray::number(i) + "\r\n");
        // Names sort in the order the captures were made.
        if (i > 0) {
            EXPECT_LT(written[i - 1], written[i]);
        }
    }
    for (const QString& path : occupied)
        EXPECT_EQ(ReadFile(path), "occupied");
    EXPECT_EQ(NamesIn(folder).size(), 15 + 8);
}

TEST_P(EventAssistantTest, ShortcutTitlesAlwaysMakeFileNames)
{
    const struct {
        QString title;
        QString name;
    } titles[] = {
        {"AC/DC: Live?", "AC_DC_ Live_"},
        {"a\\b*c\"d<e>f|g", "a_b_c_d_e_f_g"},
        {"tab\there\nnew", "tab_here_new"},
        {"", "Link"},
        {"   ", "Link"},
        {".profile", "_profile"},
        {"Ünïcödé ∑", "Ünïcödé ∑"},
    };
    for (const auto& t : titles) {
        EXPECT_EQ(TEventAssistant::ShortcutBaseName(t.title), t.name) << t.title.toStdString();
        const QStringList written = events->SaveUrlShortcut(t.title, "https://example.org/", folder);
        ASSERT_EQ(written.size(), 1);
        EXPECT_EQ(QFileInfo(written.first()).absolutePath() + "/", folder) << written.first().toStdString();
        EXPECT_TRUE(QRegularExpression("^" + QRegularExpression::escape(t.name) + kStamp + "\\.url$")
                        .match(QFileInfo(written.first()).fileName())
                        .hasMatch())
            << written.first().toStdString();
    }
    // A dropped link's title is cut to 20 characters before its name is made,
    // never in the middle of a character outside the basic plane.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");   // one character, two code units
    std::unique_ptr<QMimeData> mime(BrowserLink("https://example.org/", QString(19, u'x') + clef + "tail/end"));
    const QStringList written = events->StoreDroppedData(folder, TDropData::FromMimeData(*mime));
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(QRegularExpression("^x{19}" + kStamp + "\\.url$").match(QFileInfo(written.first()).fileName()).hasMatch())
        << written.first().toStdString();
}

TEST_P(EventAssistantTest, DroppedFilesAreCopiedUnreadableOnesSkipped)
{
    const QString source = TestEnv::ScratchFolder();
    WriteFile(source + "report.txt", "new report");
    WriteFile(source + "photos/2024/one.jpg", "jpeg");
    WriteFile(source + "secret.txt", "secret");
    WriteFile(source + "what?.txt", "question");
    ::chmod(QFile::encodeName(source + "secret.txt").constData(), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(source + "pipe").constData(), 0666), 0);
    WriteFile(folder + "report.txt", "old report");
    OpenFolderChain(source);
    OpenFolderChain(folder);

    QStringList written;
    {
        const TOrdinaryUser ordinary;
        written = events->StoreDroppedData(folder, TDropData{{source + "report.txt", source + "secret.txt",
                                                               source + "pipe", source + "gone.txt",
                                                               source + "photos/", source + "what?.txt"},
                                                              {}, {}, {}, {}});
    }
    EXPECT_EQ(written, QStringList({folder + "report (2).txt", folder + "photos", folder + "what?.txt"}));
    EXPECT_EQ(NamesIn(folder), QStringList({"photos", "report (2).txt", "report.txt", "what?.txt"}));
    EXPECT_EQ(ReadFile(folder + "report.txt"), "old report");
    EXPECT_EQ(ReadFile(folder + "report (2).txt"), "new report");
    EXPECT_EQ(ReadFile(folder + "photos/2024/one.jpg"), "jpeg");
    EXPECT_EQ(ReadFile(folder + "what?.txt"), "question");

    // A folder dropped into itself is not copied.
    EXPECT_TRUE(events->CopyDroppedFiles({ExcludeTrailingBackslash(folder)}, folder + "photos/").isEmpty());
}

TEST_P(EventAssistantTest, NothingUsableWritesNothing)
{
    EXPECT_TRUE(events->StoreDroppedData(folder, TDropData()).isEmpty());
    auto* picture = new QMimeData;
    picture->setData("image/png", QByteArray("\x89PNG\r\n", 6));
    int calls = 0;
    SetClipboard(picture);
    EXPECT_TRUE(events->PasteClipboard([&calls](const TDropData&) {
        ++calls;
        return QStringList{"x"};
    }).isEmpty());
    EXPECT_EQ(calls, 0);
    SetClipboard(nullptr);
    EXPECT_TRUE(events->PasteClipboard([&calls](const TDropData&) {
        ++calls;
        return QStringList{"x"};
    }).isEmpty());
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(NamesIn(folder).isEmpty());
}

TEST_P(EventAssistantTest, SettingsComeBackWhenWritingFails)
{
    WriteFile(folder + "plain-file", "x");
    const QString impossible = folder + "plain-file/";
    main->App.ClipboardTextHandling = 3;
    EXPECT_THROW(events->StoreDroppedData(impossible, TDropData{{}, "text", {}, {}, {}}), ETessarynError);
    EXPECT_EQ(main->App.ClipboardTextHandling, 3);

    SetClipboard(PlainText("text"));
    EXPECT_THROW(events->PasteClipboard(
                     [&](const TDropData& data) { return events->StoreDroppedData(impossible, data); }),
                 ETessarynError);
    EXPECT_EQ(main->App.ClipboardTextHandling, 3);
    EXPECT_TRUE(events->RealDrop());
    EXPECT_EQ(NamesIn(folder), QStringList({"plain-file"}));
}

// The files are the subject here; the database only carries the settings.
INSTANTIATE_TEST_SUITE_P(Engines, EventAssistantTest, ::testing::Values(TEngine::SQLite), EngineName);

// --- the capture operations on entries ---------------------------------------

class EntryCaptureTest : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        manager = std::make_unique<TEntryManager>(*main, dbModule);
        capture = std::make_unique<TEntryCapture>(*main, *manager, *events);
        manager->OpenEntries().ShowEditor = [this](TEntryData* entry, bool isNew) {
            shown.append({entry, isNew});
        };
        monitored = main->App.MonitoredFolder;
    }
    void TearDown() override
    {
        capture.reset();
        manager.reset();
        CaptureFixture::TearDown();
    }

    // A stored entry with the files; returns its code.
    int StoreEntry(const QString& title, const QMap<QString, QByteArray>& files)
    {
        std::unique_ptr<TEntryData> entry = manager->CreateNewEntry(false);
        if (!entry)
            return 0;
        for (auto it = files.begin(); it != files.end(); ++it)
            WriteFile(entry->GetFolder() + it.key(), it.value());
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        entry->SetTitle(title);
        entry->SetCategory(main->Categories().FindByCode(kNotes));
        EXPECT_TRUE(entry->Save([this](TEntryData& e) { return dbModule.StoreEntry(e); }))
            << desktop.MessageTexts().join(" / ").toStdString();
        return entry->Code();
    }

    // The entry's stored file names, from a fresh extraction.
    QStringList StoredNames(int code)
    {
        const std::unique_ptr<TEntryData> entry = manager->LoadAndExtractEntry(code);
        return NamesIn(entry->GetFolder());
    }

    // The members of the archive in the entry's row, as Info-ZIP lists them,
    // in code point order.
    QStringList StoredMembers(int code)
    {
        const std::unique_ptr<TEntryData> record = manager->LoadEntryRecordOnly(code);
        QString listing;
        EXPECT_EQ(TestEnv::Run("unzip", {"-Z1", record->GetExtractArchivePath()}, &listing), 0)
            << listing.toStdString();
        QFile::remove(record->GetExtractArchivePath());
        QStringList members = listing.split('\n', Qt::SkipEmptyParts);
        members.sort();
        return members;
    }

    void ExpectSettingsUntouched()
    {
        EXPECT_EQ(main->App.MonitoredFolder, monitored);
        EXPECT_EQ(main->App.ClipboardTextHandling, 1);
    }

    TdmDB dbModule;
    std::unique_ptr<TEntryManager> manager;
    std::unique_ptr<TEntryCapture> capture;
    QList<std::pair<TEntryData*, bool>> shown;   // entry, isNew
    QString monitored;
};

TEST_P(EntryCaptureTest, NewEntryFromClipboardHoldsThePastedFilesAllMarked)
{
    const struct {
        int textMode;
        QString pattern;
    } modes[] = {{0, "^Text_" + kStamp + "\\.txt$"}, {2, "^Html_" + kStamp + "\\.html$"}, {3, "^Text_" + kStamp + "\\.txt$"}};
    for (const auto& m : modes) {
        SetClipboard(PlainText("first line\nsecond line"));
        shown.clear();
        ASSERT_TRUE(capture->CreateEntryFromClipboard(m.textMode)) << desktop.MessageTexts().join(" / ").toStdString();
        ASSERT_EQ(shown.size(), 1);
        TEntryData* entry = shown.first().first;
        EXPECT_TRUE(shown.first().second);
        EXPECT_EQ(entry->Title(), "<Enter title here>");
        const QStringList names = NamesIn(entry->GetFolder());
        ASSERT_EQ(names.size(), 1) << m.textMode;
        EXPECT_TRUE(QRegularExpression(m.pattern).match(names.first()).hasMatch()) << names.first().toStdString();
        EXPECT_EQ(entry->FolderFiles().Count(), 1);
        EXPECT_EQ(entry->FolderFiles().SelectedCount(), 1);
        // Nothing went to the real monitored folder.
        EXPECT_TRUE(NamesIn(monitored).isEmpty());
        ExpectSettingsUntouched();
    }

    // Files on the clipboard are copied into the new entry.
    const QString source = TestEnv::ScratchFolder();
    WriteFile(source + "a.pdf", "pdf");
    WriteFile(source + "notes/b.txt", "b");
    SetClipboard(LocalFiles({source + "a.pdf", source + "notes"}));
    shown.clear();
    ASSERT_TRUE(capture->CreateEntryFromClipboard(0));
    ASSERT_EQ(shown.size(), 1);
    TEntryData* entry = shown.first().first;
    EXPECT_EQ(NamesIn(entry->GetFolder()), QStringList({"a.pdf", "notes"}));
    EXPECT_EQ(entry->FolderFiles().SelectedCount(), 2);
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
}

TEST_P(EntryCaptureTest, EmptyClipboardCreatesNothing)
{
    SetClipboard(nullptr);
    EXPECT_FALSE(capture->CreateEntryFromClipboard(0));
    EXPECT_TRUE(shown.isEmpty());
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages.first().text, kNothing);
    EXPECT_EQ(desktop.messages.first().kind, IDesktop::TMsgKind::Information);

    // Only a file that cannot be read: no entry, and no folder left behind.
    const QString source = TestEnv::ScratchFolder();
    SetClipboard(LocalFiles({source + "vanished.txt"}));
    desktop.Clear();
    EXPECT_FALSE(capture->CreateEntryFromClipboard(0));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(desktop.MessageTexts(), QStringList({kNothing}));
    EXPECT_TRUE(NamesIn(main->App.ExtractFolder).isEmpty()) << NamesIn(main->App.ExtractFolder).join(",").toStdString();
    ExpectSettingsUntouched();
}

TEST_P(EntryCaptureTest, SettingsAreRestoredWhenThePasteFails)
{
    // A folder path so long that a file name added to it exceeds what the
    // system accepts: the folder can be made, the pasted file not.
    QString extract = TestEnv::ScratchFolder();
    while (extract.size() < 4075)
        extract += QString(200, u'd') + u'/';
    extract = extract.left(4075);
    if (!extract.endsWith(u'/'))
        extract += u'/';
    ASSERT_TRUE(QDir().mkpath(extract));
    main->App.ExtractFolder = extract;
    main->App.ClipboardTextHandling = 1;

    SetClipboard(PlainText("will not fit"));
    EXPECT_FALSE(capture->CreateEntryFromClipboard(3));
    EXPECT_TRUE(shown.isEmpty());
    ExpectSettingsUntouched();
    EXPECT_TRUE(NamesIn(extract).isEmpty()) << NamesIn(extract).join(",").toStdString();
    EXPECT_TRUE(events->RealDrop());
}

TEST_P(EntryCaptureTest, ClipboardIsAddedToAStoredEntry)
{
    for (const bool notify : {false, true}) {
        main->App.NotifyEntriesChanged = notify;
        const int code = StoreEntry(QString("Stored %1").arg(notify), {{"a.txt", "a"}});
        ASSERT_GT(code, 0);
        desktop.Clear();

        SetClipboard(PlainText("added"));
        ASSERT_TRUE(capture->AddClipboardToEntry(code, 3)) << desktop.MessageTexts().join(" / ").toStdString();
        // Told once, whatever the notification setting.
        EXPECT_EQ(desktop.notices,
                  QStringList({QString("[Tessaryn]|The selected file(s) have been successfully stored under the title "
                                       "\"Stored %1\".")
                                   .arg(notify)}));
        EXPECT_TRUE(shown.isEmpty());
        const QStringList stored = StoredNames(code);
        ASSERT_EQ(stored.size(), 2) << stored.join(",").toStdString();
        EXPECT_TRUE(stored.contains("a.txt"));
        EXPECT_EQ(stored.filter(QRegularExpression("^Text_" + kStamp + "\\.txt$")).size(), 1);
        EXPECT_EQ(main->App.NotifyEntriesChanged, notify);
        ExpectSettingsUntouched();
    }
}

TEST_P(EntryCaptureTest, ClipboardAddedToAnOpenEntryIsShownInItsEditor)
{
    main->App.EditMultipleEntries = true;
    const int code = StoreEntry("Open one", {{"a.txt", "a"}});
    manager->EditEntry(code);
    ASSERT_EQ(shown.size(), 1);
    TEntryData* open = shown.first().first;
    shown.clear();
    desktop.Clear();

    // Work not yet saved in the editor survives the paste, also under the
    // policy that empties an entry's folder when it closes.
    main->App.CleanupTemporaryFiles = 0;
    WriteFile(open->GetFolder() + "draft.txt", "unsaved");
    WriteFile(open->GetFolder() + "a.txt", "edited, not saved");
    open->SetTitle("Title not saved");
    auto* link = new QMimeData;
    link->setData("text/x-moz-url", QByteArray("https://example.org/\nExample"));
    SetClipboard(link);
    ASSERT_TRUE(capture->AddClipboardToEntry(code, 0));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().first, open);
    EXPECT_FALSE(shown.first().second);
    EXPECT_TRUE(desktop.notices.isEmpty());
    const QStringList names = NamesIn(open->GetFolder());
    ASSERT_EQ(names.size(), 3) << names.join(",").toStdString();
    EXPECT_TRUE(names.contains("a.txt"));
    EXPECT_EQ(ReadFile(open->GetFolder() + "draft.txt"), "unsaved");
    EXPECT_EQ(ReadFile(open->GetFolder() + "a.txt"), "edited, not saved");
    EXPECT_EQ(open->Title(), "Title not saved");
    EXPECT_EQ(names.filter(QRegularExpression("^Example" + kStamp + "\\.url$")).size(), 1);
    // Not stored: the editor does that.
    EXPECT_EQ(manager->OpenEntries().Count(), 1);

    // An empty clipboard leaves the open entry alone.
    SetClipboard(nullptr);
    shown.clear();
    EXPECT_TRUE(capture->AddClipboardToEntry(code, 0));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(desktop.MessageTexts(), QStringList({kNothing}));
    EXPECT_EQ(NamesIn(open->GetFolder()).size(), 3);
}

TEST_P(EntryCaptureTest, FileUnmarkedInTheEditorStaysOutOfLaterStores)
{
    main->App.EditMultipleEntries = true;
    const int code = StoreEntry("Three files", {{"a.txt", "a"}, {"b.txt", "b"}, {"removed.txt", "r"}});
    manager->EditEntry(code);
    TEntryData* open = manager->OpenEntries().FindOpenEntry(code);
    ASSERT_NE(open, nullptr);
    open->FolderFiles().SetSelectedByName("removed.txt", false);
    ASSERT_TRUE(open->Save([this](TEntryData& e) { return dbModule.StoreEntry(e); }));
    EXPECT_EQ(StoredMembers(code), QStringList({"a.txt", "b.txt"}));
    // Under the default clean-up policy the closed editor's folder stays on
    // disk, the unmarked file in it.
    const QString folder = open->GetFolder();
    manager->OpenEntries().CloseEntry(open);
    ASSERT_TRUE(QFile::exists(folder + "removed.txt"));
    shown.clear();

    SetClipboard(PlainText("added"));
    ASSERT_TRUE(capture->AddClipboardToEntry(code, 3)) << desktop.MessageTexts().join(" / ").toStdString();
    const QStringList members = StoredMembers(code);
    ASSERT_EQ(members.size(), 3) << members.join(",").toStdString();
    EXPECT_TRUE(QRegularExpression("^Text_" + kStamp + "\\.txt$").match(members[0]).hasMatch())
        << members[0].toStdString();
    EXPECT_EQ(members.mid(1), QStringList({"a.txt", "b.txt"}));

    // Opened again, the entry shows what it holds and nothing else.
    WriteFile(folder + "removed.txt", "r");
    manager->EditEntry(code);
    open = manager->OpenEntries().FindOpenEntry(code);
    ASSERT_NE(open, nullptr);
    QStringList listed = NamesIn(folder);
    listed.sort();
    EXPECT_EQ(listed, members);
    EXPECT_EQ(open->FolderFiles().Count(), 3);
}

TEST_P(EntryCaptureTest, DroppedEntryOpensAfterTheDropHasReturned)
{
    const QString source = TestEnv::ScratchFolder();
    WriteFile(source + "dropped.txt", "dropped");
    const TDropData data{{source + "dropped.txt"}, {}, {}, {}, {}};

    QList<TEntryData*> opened;
    capture->OpenDroppedEntry = [&](TEntryData* entry) {
        opened.append(entry);
        manager->ShowEntryEditor(entry, true);
    };
    ASSERT_TRUE(capture->CreateEntryFromDrop(data));
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_TRUE(TestEnv::WaitFor([&] { return !opened.isEmpty(); }));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(NamesIn(opened.first()->GetFolder()), QStringList({"dropped.txt"}));
    EXPECT_EQ(opened.first()->FolderFiles().SelectedCount(), 1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown.first().second);

    // Without a window to open it in, the entry is stored as it is.
    capture->OpenDroppedEntry = nullptr;
    ASSERT_TRUE(capture->CreateEntryFromDrop(data));
    int code = 0;
    ASSERT_TRUE(TestEnv::WaitFor([&] {
        QSqlQuery q(conn->Database());
        q.exec("select code from entries where title = '<Enter title here>'");
        code = q.next() ? q.value(0).toInt() : 0;
        return code != 0;
    })) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(StoredNames(code), QStringList({"dropped.txt"}));

    // Nothing that can be stored: no entry.
    EXPECT_FALSE(capture->CreateEntryFromDrop(TDropData{{source + "missing.txt"}, {}, {}, {}, {}}));
}

TEST_P(EntryCaptureTest, QuickNoteGoesThroughTheClipboard)
{
    ASSERT_TRUE(capture->CreateEntryFromQuickNote("Call Anna\nabout the report\n"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Call Anna\r\nabout the report\r\n");
    ASSERT_EQ(shown.size(), 1);
    const QString folder = shown.first().first->GetFolder();
    const QStringList names = NamesIn(folder);
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(ReadFile(folder + names.first()), "Call Anna\r\nabout the report\r\n");
}

TESSARYN_INSTANTIATE_ENGINES(EntryCaptureTest);

} // namespace
