#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

class QMimeData;
class TdmMain;

// What one drop or one paste brings, as the windows' drop targets present it.
// Any part may be empty.
struct TDropData {
    QStringList Files;      // full paths of dropped or copied files and folders
    QString Text;           // plain text
    QStringList HtmlLines;  // the HTML, one element per line
    QString Url;            // a dragged or copied link ...
    QString UrlTitle;       // ... and its title

    bool IsEmpty() const
    {
        return Files.isEmpty() && Text.isEmpty() && HtmlLines.isEmpty() && Url.isEmpty();
    }

    // Reads the parts from the formats a drag or the clipboard offers.
    //
    // Files: the local files of text/uri-list.
    // Text: text/plain; without it, the plain text of text/html, else the
    // source of text/rtf (or application/rtf) unchanged, else text/csv.
    // File managers add the dragged paths as text/plain as well; a text that
    // only names the dropped files is no text of its own and is left out, so
    // that dropped files are copied and not written as a list of names.
    // HTML: text/html. A fragment without a document around it (what
    // browsers and editors here offer) is presented the way the Windows
    // clipboard presents one: inside "<html><body>" and the fragment markers,
    // each on a line of its own. That is what the writers look for to tell a
    // dragged link (a one-line fragment) from formatted content, and it makes
    // the stored page a complete document.
    // A link offered without any text format gets the link as its text.
    // Link: the first line of text/x-moz-url (UTF-16 as browsers write it, or
    // UTF-8), or the only non-file URL of text/uri-list. A moz-url naming a
    // local file is a file, not a link. Its title: the moz-url's second line,
    // else the text of the HTML's anchor (the one pointing at the link,
    // otherwise the first).
    static TDropData FromMimeData(const QMimeData& mime);
    // The clipboard's current content; empty when it offers nothing.
    static TDropData FromClipboard();
};

// Sets a value for the length of a scope and puts the previous one back when
// the scope ends, also when an error leaves it.
template <typename T>
class TRestoreOnExit {
public:
    TRestoreOnExit(T& target, T value) : m_target(target), m_saved(std::exchange(target, std::move(value))) {}
    ~TRestoreOnExit() { m_target = std::move(m_saved); }
    TRestoreOnExit(const TRestoreOnExit&) = delete;
    TRestoreOnExit& operator=(const TRestoreOnExit&) = delete;

private:
    T& m_target;
    T m_saved;
};

// Turns what the user drops on a window or pastes from the clipboard into
// files of a folder (the monitored folder or an entry's folder): dropped
// files are copied, a dragged link becomes an Internet shortcut, text a text
// file or a generated web page, HTML a web page. One instance lives as long
// as the program.
//
// Every writer returns the paths it wrote; an empty result means that
// nothing was written. Files are written whole or not at all (QSaveFile), in
// UTF-8, with CR LF after every line. A file that cannot be written raises
// ETessarynError.
//
// Generated names carry the local time to the millisecond. A capture never
// replaces an earlier file: when the name is taken (two captures within one
// millisecond), the writer waits for the next millisecond and takes that
// time stamp, so names stay in the order the captures were made.
class TEventAssistant {
public:
    // What a window's drop handler does with the data of a drop or a paste;
    // returns the paths written.
    using TDropHandler = std::function<QStringList(const TDropData&)>;

    // Told to the user by the callers when a paste wrote nothing.
    static const QString NothingToStoreText;

    explicit TEventAssistant(TdmMain& main);
    TEventAssistant(const TEventAssistant&) = delete;
    TEventAssistant& operator=(const TEventAssistant&) = delete;

    // True except while PasteClipboard runs: a real drop, not a paste.
    bool RealDrop() const { return m_realDrop; }

    // Writes the drop's or paste's data into folder (ending with "/"). A real
    // drop uses the automatic text handling; a paste the "Clipboard text
    // handling" setting, which stays as it was afterwards.
    QStringList StoreDroppedData(const QString& folder, const TDropData& data);
    // Reads the clipboard and hands its data to drop, with RealDrop false for
    // that time. A clipboard that offers nothing usable calls nothing.
    QStringList PasteClipboard(const TDropHandler& drop);

    // A text file "Text_<time>.txt" of the text's lines.
    QStringList SaveText(const QString& text, const QString& folder);
    // A generated web page "Html_<time>.html" showing the text as it is.
    QStringList SaveTextAsHtml(const QString& text, const QString& folder);
    // A web page "Html_<time>.html" of the HTML: a whole document as it is,
    // a clipboard fragment inside a generated head.
    QStringList SaveHtml(const QStringList& lines, const QString& folder);
    // An Internet shortcut "<title><time>.url". Characters that a file name
    // cannot hold here or on other systems (see ShortcutBaseName) become "_".
    QStringList SaveUrlShortcut(const QString& title, const QString& url, const QString& folder);
    // Copies every file or folder (with its content) into folder, under a new
    // name when its own is taken. One that cannot be read is skipped.
    QStringList CopyDroppedFiles(const QStringList& files, const QString& folder);
    // A web page when the text handling is 2 or 4, otherwise a text file.
    QStringList SaveTextByMode(const QString& text, const QString& folder);

    // The text's lines escaped, each followed by "<br>" and CR LF.
    static QString HtmlFromText(const QString& text);
    static QString HtmlEscape(const QString& line);
    // True when the HTML's fragment (or body) is exactly one line: what a
    // browser offers for a dragged link.
    static bool IsSingleLineFragment(const QStringList& lines);

    // Puts the text on the clipboard as plain text, replacing what it held,
    // with its lines joined by CR LF.
    static void PutTextOnClipboard(const QString& text);

    // Lines as the writers see them: split at CR LF, CR or LF; a final line
    // break ends the last line and starts no new one.
    static QStringList SplitLines(const QString& text);
    // The name a shortcut gets before its time stamp: "/", "\\", ":", "*",
    // "?", "\"", "<", ">", "|" and control characters become "_", a leading
    // "." becomes "_" (the file would be hidden), and a title that is empty or
    // only blanks gives "Link".
    static QString ShortcutBaseName(const QString& title);

private:
    // The start of a generated page, an HTML5 document that declares UTF-8,
    // up to and including the body tag in the background colour setting.
    QString PageHead() const;
    // The first free path folder + prefix + <time stamp> + suffix.
    static QString StampedPath(const QString& folder, const QString& prefix, const QString& suffix);
    // Writes the lines with CR LF after each.
    static void WriteLines(const QString& path, const QStringList& lines);

    TdmMain& m_main;
    bool m_realDrop = true;
};
