#include "engine/EventAssistant.h"

#include "app/Errors.h"
#include "engine/FileHelpers.h"
#include "settings/dmMain.h"

#include <QClipboard>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextDocumentFragment>
#include <QUrl>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;

const QString kMozUrlFormat = QStringLiteral("text/x-moz-url");
const QString kPageMarker = QStringLiteral("<html><body>");
// A shortcut is named after this many characters of the link's title.
constexpr int kShortcutTitleLength = 20;

enum TTextHandling { thAutomatic = 1, thHtml = 2, thText = 3, thHtmlPlain = 4 };

const QRegularExpression& LineBreak()
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return lineBreak;
}

fs::path ToFsPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// Whether anything, a dangling link included, is at path.
bool EntryExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The setting's red-green-blue digits as a CSS colour "#rrggbb". A value
// that is no colour (the setting is free text in the database) would make
// the page's style invalid: white then, the setting's default.
QString CssColour(const QString& rgb)
{
    static const QRegularExpression hexColour(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    return hexColour.match(rgb).hasMatch() ? u'#' + rgb.toLower() : QStringLiteral("#ffffff");
}

// The first count characters, never ending in half of a surrogate pair.
QString FirstCharacters(const QString& text, int count)
{
    QString result = text.left(count);
    if (result.size() == count && result.back().isHighSurrogate())
        result.chop(1);
    return result;
}

// Browsers write text/x-moz-url in UTF-16 (in the byte order of the machine,
// mostly without a byte order mark); other programs write UTF-8.
QString DecodeLinkData(const QByteArray& bytes)
{
    QString text;
    if (bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes.contains('\0')) {
        const bool bigEndian = bytes.startsWith("\xfe\xff") || (bytes.at(0) == '\0' && bytes.at(1) != '\0');
        QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE);
        text = decoder(bytes);
    } else {
        text = QString::fromUtf8(bytes);
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    while (text.endsWith(QChar(u'\0')))
        text.chop(1);
    return text;
}

// Text formats that are not UTF-8 (old RTF writers) keep their bytes as
// code points of the same number.
QString DecodeText(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

QString HtmlToPlainText(const QString& html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText();
}

// The text of the anchor pointing at url, else of the first anchor.
QString AnchorText(const QString& html, const QString& url)
{
    static const QRegularExpression anchor(QStringLiteral("<a\\b([^>]*)>(.*?)</a\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    QString first;
    bool haveFirst = false;
    for (auto it = anchor.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString text = HtmlToPlainText(match.captured(2)).simplified();
        if (!url.isEmpty() && match.captured(1).contains(url))
            return text;
        if (!haveFirst) {
            first = text;
            haveFirst = true;
        }
    }
    return first;
}

// True when every line of text names one of the files, as a path or as a
// file URL.
bool NamesOnlyFiles(const QString& text, const QStringList& files)
{
    for (const QString& raw : TEventAssistant::SplitLines(text)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const QUrl url(line);
        const QString path = url.isLocalFile() ? url.toLocalFile() : line;
        if (!files.contains(path) && !files.contains(ExcludeTrailingBackslash(path)))
            return false;
    }
    return true;
}

// The HTML's lines; a bare fragment goes inside the document and markers of
// a clipboard fragment (see TDropData::FromMimeData).
QStringList HtmlDropLines(const QString& html)
{
    if (html.trimmed().isEmpty())
        return {};
    const QStringList lines = TEventAssistant::SplitLines(html);
    if (html.contains(QStringLiteral("<html"), Qt::CaseInsensitive)
        || html.contains(QStringLiteral("<!--StartFragment"), Qt::CaseInsensitive))
        return lines;
    return QStringList{kPageMarker, QStringLiteral("<!--StartFragment-->")} + lines
           + QStringList{QStringLiteral("<!--EndFragment-->"), QStringLiteral("</body>"), QStringLiteral("</html>")};
}

// A copy to exactly target. The shell copy reads "*" and "?" in a name as a
// pattern, which would take every matching item along; such a name (legal
// here) is copied by the file system directly.
bool CopyItem(const QString& from, const QString& target)
{
    const QString name = QFileInfo(from).fileName();
    if (!name.contains(u'*') && !name.contains(u'?'))
        return ShellCopy(from, target);
    std::error_code ec;
    fs::copy(ToFsPath(from), ToFsPath(target), fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    return !ec;
}

// Copies one dropped item into folder under its name or a free variant of
// it; the path written, or empty when the item was skipped.
QString CopyDroppedItem(const QString& source, const QString& folder)
{
    const QString from = ExcludeTrailingBackslash(source);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(ToFsPath(from), ec);
    if (ec || !fs::exists(status))
        return {};
    const bool isFolder = fs::is_directory(status);
    if (fs::is_regular_file(status)) {
        // Unreadable files are left out; finding out by copying would leave
        // an empty copy behind.
        QFile probe(from);
        if (!probe.open(QIODevice::ReadOnly))
            return {};
    } else if (!isFolder && !fs::is_symlink(status)) {
        // Pipes, sockets and devices hold no content to store (and opening a
        // pipe would wait for a writer).
        return {};
    }
    if (isFolder) {
        // A folder dropped into itself or into one of its subfolders would
        // never finish copying.
        const QString inside = QFileInfo(folder).canonicalFilePath() + u'/';
        const QString dropped = QFileInfo(from).canonicalFilePath() + u'/';
        if (inside.startsWith(dropped))
            return {};
    }
    const QString target = UniqueTargetPath(folder + QFileInfo(from).fileName(), isFolder);
    if (CopyItem(from, target))
        return target;
    // What arrived of a failed copy is no use to anyone.
    if (EntryExists(target))
        ShellDelete(target);
    return {};
}

} // namespace

// --- the data of a drop ------------------------------------------------------

TDropData TDropData::FromMimeData(const QMimeData& mime)
{
    TDropData data;
    const QList<QUrl> urls = mime.hasUrls() ? mime.urls() : QList<QUrl>();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            data.Files.append(url.toLocalFile());

    if (mime.hasFormat(kMozUrlFormat)) {
        const QStringList lines = TEventAssistant::SplitLines(DecodeLinkData(mime.data(kMozUrlFormat)));
        const QString link = lines.value(0).trimmed();
        if (!link.isEmpty() && !QUrl(link).isLocalFile()) {
            data.Url = link;
            data.UrlTitle = lines.value(1).trimmed();
        }
    }
    if (data.Url.isEmpty() && urls.size() == 1 && !urls.first().isLocalFile() && !urls.first().isEmpty())
        data.Url = urls.first().toString(QUrl::FullyEncoded);

    const QString html = mime.hasHtml() ? mime.html() : QString();
    data.HtmlLines = HtmlDropLines(html);
    if (!data.Url.isEmpty() && data.UrlTitle.isEmpty() && !html.isEmpty())
        data.UrlTitle = AnchorText(html, data.Url);

    // Text in the order of preference of the text-bearing formats.
    // Not hasText(): it also answers true for a list of URLs, whose text is
    // then made up from them.
    const bool plainText =
        mime.hasFormat(QStringLiteral("text/plain")) || mime.hasFormat(QStringLiteral("text/plain;charset=utf-8"));
    QString text = plainText ? mime.text() : QString();
    if (!text.isEmpty() && !data.Files.isEmpty() && NamesOnlyFiles(text, data.Files))
        text.clear();
    if (text.isEmpty() && !html.isEmpty())
        text = HtmlToPlainText(html);
    for (const QString& format : {QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                  QStringLiteral("text/csv")}) {
        if (text.isEmpty() && mime.hasFormat(format))
            text = DecodeText(mime.data(format));
    }
    // A link offered without any text: its text is the link itself, so that
    // pasting it as text or as a page still shows where it leads.
    if (text.isEmpty())
        text = data.Url;
    data.Text = text;
    return data;
}

TDropData TDropData::FromClipboard()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime ? FromMimeData(*mime) : TDropData();
}

// --- the assistant -----------------------------------------------------------

const QString TEventAssistant::NothingToStoreText = QStringLiteral("The clipboard holds nothing that can be stored.");

TEventAssistant::TEventAssistant(TdmMain& main) : m_main(main) {}

QStringList TEventAssistant::StoreDroppedData(const QString& folder, const TDropData& data)
{
    // A real drop is stored the automatic way whatever the setting says;
    // the writers read the handling from the setting.
    int& setting = m_main.App.ClipboardTextHandling;
    const TRestoreOnExit<int> restore(setting, m_realDrop ? int(thAutomatic) : setting);
    const int handling = setting;

    // A browser offers a dragged link with a one-line fragment: that is a
    // link, not formatted content.
    const bool formatted =
        !data.HtmlLines.isEmpty() && !(!data.Url.isEmpty() && IsSingleLineFragment(data.HtmlLines));
    if (formatted) {
        if (handling == thText)
            return SaveTextByMode(data.Text, folder);
        if (handling == thHtmlPlain)
            return SaveTextAsHtml(data.Text, folder);
        return SaveHtml(data.HtmlLines, folder);
    }
    if (!data.Url.isEmpty()) {
        if (handling == thText)
            return SaveTextByMode(data.Text, folder);
        if (handling == thHtml || handling == thHtmlPlain)
            return SaveTextAsHtml(data.Text, folder);
        return SaveUrlShortcut(FirstCharacters(data.UrlTitle, kShortcutTitleLength), data.Url, folder);
    }
    if (!data.Text.isEmpty())
        return handling == thHtmlPlain ? SaveTextAsHtml(data.Text, folder) : SaveTextByMode(data.Text, folder);
    if (!data.Files.isEmpty())
        return CopyDroppedFiles(data.Files, folder);
    return {};
}

QStringList TEventAssistant::PasteClipboard(const TDropHandler& drop)
{
    const TRestoreOnExit<bool> pasting(m_realDrop, false);
    const TDropData data = TDropData::FromClipboard();
    if (data.IsEmpty() || !drop)
        return {};
    return drop(data);
}

// --- writers -----------------------------------------------------------------

QStringList TEventAssistant::SaveText(const QString& text, const QString& folder)
{
    const QString path = StampedPath(folder, QStringLiteral("Text_"), QStringLiteral(".txt"));
    WriteLines(path, SplitLines(text));
    return {path};
}

QStringList TEventAssistant::SaveTextAsHtml(const QString& text, const QString& folder)
{
    const QString page = PageHead() + HtmlFromText(text) + QStringLiteral("</body>\r\n</html>");
    const QString path = StampedPath(folder, QStringLiteral("Html_"), QStringLiteral(".html"));
    WriteLines(path, SplitLines(page));
    return {path};
}

QStringList TEventAssistant::SaveHtml(const QStringList& lines, const QString& folder)
{
    QStringList page = lines;
    const auto firstLineWith = [&lines](const QString& marker) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].contains(marker, Qt::CaseInsensitive))
                return i;
        return qsizetype(-1);
    };
    const qsizetype pageStart = firstLineWith(kPageMarker);
    if (pageStart < 0) {
        // A whole document: whatever precedes it (the clipboard's header
        // lines) goes.
        const qsizetype documentStart = firstLineWith(QStringLiteral("<html"));
        if (documentStart > 0)
            page = lines.mid(documentStart);
    } else {
        // A fragment in a bare document: it gets a head of ours. The marker
        // normally stands alone on its line; anything after it on that line
        // is content and stays.
        const QString& markerLine = lines[pageStart];
        const QString rest =
            markerLine.mid(markerLine.indexOf(kPageMarker, 0, Qt::CaseInsensitive) + kPageMarker.size());
        QStringList body = lines.mid(pageStart + 1);
        if (!rest.trimmed().isEmpty())
            body.prepend(rest);
        page = SplitLines(PageHead() + body.join(QStringLiteral("\r\n")));
    }
    const QString path = StampedPath(folder, QStringLiteral("Html_"), QStringLiteral(".html"));
    WriteLines(path, page);
    return {path};
}

QStringList TEventAssistant::SaveUrlShortcut(const QString& title, const QString& url, const QString& folder)
{
    const QString path = StampedPath(folder, ShortcutBaseName(title), QStringLiteral(".url"));
    WriteLines(path, {QStringLiteral("[InternetShortcut]"), QStringLiteral("URL=") + url});
    return {path};
}

QStringList TEventAssistant::CopyDroppedFiles(const QStringList& files, const QString& folder)
{
    QStringList written;
    for (const QString& file : files) {
        const QString target = CopyDroppedItem(file, IncludeTrailingBackslash(folder));
        if (!target.isEmpty())
            written.append(target);
    }
    return written;
}

QStringList TEventAssistant::SaveTextByMode(const QString& text, const QString& folder)
{
    const int handling = m_main.App.ClipboardTextHandling;
    if (handling == thHtml || handling == thHtmlPlain)
        return SaveTextAsHtml(text, folder);
    return SaveText(text, folder);
}

// --- text helpers ------------------------------------------------------------

QString TEventAssistant::HtmlFromText(const QString& text)
{
    QString html;
    for (const QString& line : SplitLines(text))
        html += HtmlEscape(line) + QStringLiteral("<br>\r\n");
    return html;
}

QString TEventAssistant::HtmlEscape(const QString& line)
{
    QString escaped;
    escaped.reserve(line.size());
    for (const QChar c : line) {
        switch (c.unicode()) {
        case u'\t': escaped += QStringLiteral("&nbsp;&nbsp;&nbsp;"); break;
        case u' ': escaped += QStringLiteral("&nbsp;"); break;
        case u'"': escaped += QStringLiteral("&quot;"); break;
        case u'&': escaped += QStringLiteral("&amp;"); break;
        case u'<': escaped += QStringLiteral("&lt;"); break;
        case u'>': escaped += QStringLiteral("&gt;"); break;
        case 164: escaped += QStringLiteral("&curren;"); break;
        case 166: escaped += QStringLiteral("&brvbar;"); break;
        case 167: escaped += QStringLiteral("&sect;"); break;
        case 169: escaped += QStringLiteral("&copy;"); break;
        case 171: escaped += QStringLiteral("&laquo;"); break;
        case 172: escaped += QStringLiteral("&not;"); break;
        case 173: escaped += QStringLiteral("&shy;"); break;
        case 174: escaped += QStringLiteral("&reg;"); break;
        case 176: escaped += QStringLiteral("&deg;"); break;
        case 177: escaped += QStringLiteral("&plusmn;"); break;
        case 182: escaped += QStringLiteral("&para;"); break;
        case 183: escaped += QStringLiteral("&middot;"); break;
        case 187: escaped += QStringLiteral("&raquo;"); break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

bool TEventAssistant::IsSingleLineFragment(const QStringList& lines)
{
    // Lines are counted from 0; a marker that is absent counts as line 0.
    qsizetype start = 0;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].contains(QStringLiteral("<body>"), Qt::CaseInsensitive)
            || lines[i].contains(QStringLiteral("<!--startfragment"), Qt::CaseInsensitive))
            start = i;
    qsizetype end = -1;
    for (qsizetype i = 0; i < lines.size() && end < 0; ++i)
        if (lines[i].contains(QStringLiteral("<!--endfragment"), Qt::CaseInsensitive))
            end = i;
    if (end < 0) {
        end = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].contains(QStringLiteral("</body>"), Qt::CaseInsensitive))
                end = i;
    }
    return end - start == 2;
}

void TEventAssistant::PutTextOnClipboard(const QString& text)
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::clipboard()->setText(text.split(LineBreak()).join(QStringLiteral("\r\n")));
}

QStringList TEventAssistant::SplitLines(const QString& text)
{
    QStringList lines = text.split(LineBreak());
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString TEventAssistant::ShortcutBaseName(const QString& title)
{
    if (title.trimmed().isEmpty())
        return QStringLiteral("Link");
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString name = title;
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || forbidden.contains(c))
            c = u'_';
    if (name.startsWith(u'.'))
        name[0] = u'_';
    return name;
}

// --- private -----------------------------------------------------------------

QString TEventAssistant::PageHead() const
{
    // The pages are always written in UTF-8 (WriteLines), so that is the
    // charset they declare: a browser told anything else, or left to guess,
    // garbles every letter beyond ASCII.
    return QStringLiteral("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
                          "<title>HTML page auto-created by Tessaryn v.")
           + VersionText(true).toHtmlEscaped()
           + QStringLiteral("</title>\r\n</head>\r\n<body style=\"margin: 10px; background-color: ")
           + CssColour(m_main.App.HtmlBackgroundColor) + QStringLiteral("\">\r\n");
}

QString TEventAssistant::StampedPath(const QString& folder, const QString& prefix, const QString& suffix)
{
    QDateTime moment = QDateTime::currentDateTime();
    for (;;) {
        const QString path = IncludeTrailingBackslash(folder) + prefix + TimeStampText(moment) + suffix;
        if (!EntryExists(path))
            return path;
        // Taken: by a capture of the same millisecond, or of a time the clock
        // has been set back to. Wait for the next millisecond (briefly: after
        // a clock change the stamp moves on by itself).
        const qint64 taken = moment.toMSecsSinceEpoch();
        QDateTime next = QDateTime::currentDateTime();
        const QDeadlineTimer patience(5);
        while (next.toMSecsSinceEpoch() <= taken && !patience.hasExpired()) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            next = QDateTime::currentDateTime();
        }
        moment = next.toMSecsSinceEpoch() > taken ? next : moment.addMSecs(1);
    }
}

void TEventAssistant::WriteLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ETessarynError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    // The folder lists that show this folder watch it and see the new file;
    // nothing else needs telling.
}
