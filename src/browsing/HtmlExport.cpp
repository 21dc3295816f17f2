#include "browsing/HtmlExport.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/ProgramData.h"
#include "browsing/HtmlTemplate.h"
#include "db/dmConnection.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "settings/dmMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

const QString THtmlExport::EntriesOpenText = QStringLiteral(
    "Some of the selected entries are open for editing. You must first close them before exporting them to HTML.");
const QString THtmlExport::NotExportedText = QStringLiteral("Entries were NOT exported.");

THtmlExportNames THtmlExportNames::From(const QString& chosenFile)
{
    THtmlExportNames names;
    names.file = chosenFile;
    if (!IsHtmlPage(QFileInfo(chosenFile).fileName()))
        names.file += QStringLiteral(".html");
    const QFileInfo info(names.file);
    names.targetFolder = info.absolutePath();
    if (!names.targetFolder.endsWith(QLatin1Char('/')))
        names.targetFolder += QLatin1Char('/');
    names.htmlName = HtmlBaseName(info.fileName());
    names.filesFolderInLinks = names.htmlName + QStringLiteral("_files");
    names.filesFolder = names.filesFolderInLinks + QLatin1Char('/');
    return names;
}


QString THtmlExport::Template(const QString& id)
{
    const DataPackets packets = m_main.Connection().GetTemplate(id);
    const DataPacket packet = packets.value(0);
    if (packet.rows.isEmpty())
        throw ETessarynError(QStringLiteral("The template \"%1\" is missing from the database.").arg(id));
    const int field = FindFieldIndex(packet.fields, QStringLiteral("Text"));
    return packet.rows.first().value(field).toString();
}

QString THtmlExport::Export(const QList<int>& selectionOrder, const QList<THtmlExportRow>& rows,
                            const QString& chosenFile)
{
    IDesktop& desktop = m_main.Desktop();
    const THtmlExportNames names = THtmlExportNames::From(chosenFile);
    const QString bodyTemplate = Template(QStringLiteral("HTML_EXPORT_BODY"));
    const QString rowTemplate = Template(QStringLiteral("HTML_EXPORT_ENTRY_ROW"));

    // Extracting is most of the work; its steps move this progress on.
    TProgressScope progress(desktop, QStringLiteral("Exporting the selected entries..."), true);
    if (!m_main.EntryManager().ExtractEntries(selectionOrder)) {
        desktop.ShowMessage(NotExportedText, IDesktop::TMsgKind::Warning);
        return {};
    }
    const QString filesFolder = names.targetFolder + names.filesFolder;
    QDir().mkpath(names.targetFolder);
    if (QFileInfo(filesFolder).exists())
        ShellDelete(ExcludeTrailingBackslash(filesFolder));
    QDir().mkpath(filesFolder);
    const QString extractFolder = IncludeTrailingBackslash(m_main.App.ExtractFolder);
    for (int code : selectionOrder)
        ShellMove(extractFolder + QString::number(code), filesFolder + QString::number(code));
    const QString programFolder = ProgramDataFolder() + QLatin1Char('/');
    for (const char* sign : {"PlusSign.gif", "MinusSign.gif"})
        QFile::copy(programFolder + QLatin1String(sign), filesFolder + QLatin1String(sign));

    using THtml = THtmlPlaceholder;
    QString blocks;
    for (const THtmlExportRow& row : rows) {
        const QString entryFolder = filesFolder + QString::number(row.code) + QLatin1Char('/');
        // The names of what the entry's folder holds, in the list's order.
        TFolderFiles files(m_main, nullptr);
        files.ListFolder(entryFolder);
        QString links;
        for (int i = 0; i < files.Count(); ++i) {
            const QString name = files.Items(i)->Name();
            links += QStringLiteral("          <a href=\"%1/%2/%3\" target=\"_blank\">%4</a><br>\r\n")
                         .arg(HtmlEncoding::LinkPart(names.filesFolderInLinks), QString::number(row.code),
                              HtmlEncoding::LinkPart(name), HtmlEncoding::Text(name));
        }
        // Comments of blanks only are stored for "no comments".
        const QString comments = row.comments.trimmed().isEmpty() ? QString() : HtmlEncoding::Text(row.comments);
        blocks += FillHtmlTemplate(
                      rowTemplate,
                      {{QStringLiteral("%EntryTitle%"), row.title, THtml::Text},
                       {QStringLiteral("%Entry_%"), QStringLiteral("Entry_") + QString::number(row.code), THtml::Text},
                       {QStringLiteral("%Comments%"),
                        QStringLiteral("<font size=\"2\" color=\"#800000\">%1</font></span>").arg(comments)
                            + (comments.isEmpty() ? QString() : QStringLiteral("<p>")),
                        THtml::Markup},
                       {QStringLiteral("%EntryId%"), QString::number(row.code), THtml::Text},
                       {QStringLiteral("%HTMLName%"), names.htmlName, THtml::LinkName},
                       {QStringLiteral("%Entryfiles%"), links, THtml::Markup}})
                  + QStringLiteral("\r\n");
    }
    // The template puts "#" before it; a setting that is no colour would
    // spoil the page's style: white then, the setting's default.
    static const QRegularExpression hexColour(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    const QString colour = m_main.App.HtmlBackgroundColor;
    // The page is written in UTF-8: it says so whatever the setting holds.
    const QString page = FillHtmlTemplate(
        bodyTemplate,
        {{QStringLiteral("%Auxiliary%"), QString(), THtml::Markup},
         {QStringLiteral("%BackColor%"), hexColour.match(colour).hasMatch() ? colour : QStringLiteral("FFFFFF"),
          THtml::Markup},
         {QStringLiteral("%Charset%"), QStringLiteral("utf-8"), THtml::Markup},
         {QStringLiteral("%EntryRow%"), blocks, THtml::Markup},
         {QStringLiteral("%HTMLName%"), names.htmlName, THtml::LinkName}});

    QSaveFile out(names.file);
    if (!out.open(QIODevice::WriteOnly) || out.write(page.toUtf8()) < 0 || !out.commit())
        throw ETessarynError(
            QStringLiteral("The page \"%1\" could not be written: %2").arg(QDir::toNativeSeparators(names.file), out.errorString()));
    return names.file;
}
