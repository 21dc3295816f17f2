#pragma once

#include <QList>
#include <QString>

class TdmMain;

// The names an export derives from the chosen file.
struct THtmlExportNames {
    QString file;                 // the page, with ".html" added when it had no page extension
    QString targetFolder;         // its folder, with a trailing "/"
    QString htmlName;             // the file name up to its first ".", upper-cased
    QString filesFolder;          // htmlName + "_files/"
    QString filesFolderInLinks;   // htmlName + "_files"

    static THtmlExportNames From(const QString& chosenFile);
};

// One exported entry, as the result grid shows it.
struct THtmlExportRow {
    int code = 0;
    QString title;
    QString comments;
};

// Writes the selected entries as one HTML page from the two templates of the
// database, with their files in a folder beside it. The templates are filled
// in one pass, texts and names written as their place in the page needs
// (FillHtmlTemplate) and links percent-encoded; the page is UTF-8 and says
// so whatever the charset setting: the page must show what the entries hold.
class THtmlExport {
public:
    static const QString EntriesOpenText;
    static const QString NotExportedText;

    explicit THtmlExport(TdmMain& main) : m_main(main) {}

    // selectionOrder: the codes as they were selected; rows: the selected
    // entries in the grid's order. Extracts the entries (their rights check
    // and password prompts apply), moves their folders next to the page,
    // writes it and returns its path; empty after a message when nothing was
    // exported.
    QString Export(const QList<int>& selectionOrder, const QList<THtmlExportRow>& rows, const QString& chosenFile);

    // The text of a template (its id in the table of templates).
    QString Template(const QString& id);

private:
    TdmMain& m_main;
};
