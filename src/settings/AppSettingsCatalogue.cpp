#include "settings/AppSettingsCatalogue.h"

#include <QDir>

namespace {

using S = TAppSettings;
using D = TSettingDef;

QList<TSettingDef> BuildCatalogue()
{
    const QString folders = QStringLiteral("Settings\\folders");
    const QString entries = QStringLiteral("Settings\\entries");
    const QString tray = QStringLiteral("Settings\\Tray bar");
    const QString html = QStringLiteral("Settings\\HTML");
    const QString clip = QStringLiteral("Settings\\Clipboard text handling");
    const QString mostUsed = QStringLiteral("Settings\\Most used categories");
    const QString mail = QStringLiteral("Settings\\eMail");
    return {
        {QStringLiteral("Compression folder"), folders, D::UserThisComputer, &S::CompressionFolder, D::Folder, true},
        {QStringLiteral("Extract folder"), folders, D::UserThisComputer, &S::ExtractFolder, D::Folder},
        {QStringLiteral("Monitored folder"), folders, D::UserThisComputer, &S::MonitoredFolder, D::Folder},
        {QStringLiteral("Mail folder"), folders, D::UserThisComputer, &S::MailFolder, D::Folder, true},
        {QStringLiteral("Export folder"), folders, D::UserThisComputer, &S::ExportFolder, D::Folder},
        {QStringLiteral("Auto select added files"), folders, D::UserAllComputers, &S::AutoSelectAddedFiles},
        {QStringLiteral("Folder view"), folders, D::UserAllComputers, &S::FolderView},
        {QStringLiteral("Auto edit entries if files added"), entries, D::UserAllComputers, &S::AutoEditEntriesIfFilesAdded},
        {QStringLiteral("Auto edit merged entries"), entries, D::UserAllComputers, &S::AutoEditMergedEntries},
        {QStringLiteral("Auto expand search entries"), entries, D::UserAllComputers, &S::AutoExpandSearchEntries},
        {QStringLiteral("Default action for multiple file entries"), entries, D::UserAllComputers, &S::DefaultActionMultipleFiles},
        {QStringLiteral("Default action for single file entries"), entries, D::UserAllComputers, &S::DefaultActionSingleFile},
        {QStringLiteral("Entries sort order"), entries, D::UserAllComputers, &S::EntriesSortOrder},
        {QStringLiteral("Edit multiple entries"), entries, D::UserAllComputers, &S::EditMultipleEntries},
        {QStringLiteral("Allow any file size"), entries, D::UserAllComputers, &S::AllowAnyFileSize},
        {QStringLiteral("Traditional ZIP encryption"), entries, D::UserAllComputers, &S::TraditionalZipEncryption},
        {QStringLiteral("Persistent entry selection search results"), entries, D::UserAllComputers, &S::PersistentEntrySelection},
        {QStringLiteral("Show tray bar icon"), tray, D::UserAllComputers, &S::ShowTrayIcon},
        {QStringLiteral("Notify when monitored folder contents are changed"), tray, D::UserAllComputers, &S::NotifyMonitoredFolderChanges},
        {QStringLiteral("Notify when entries are changed"), tray, D::UserAllComputers, &S::NotifyEntriesChanged},
        {QStringLiteral("Color scheme"), QStringLiteral("Settings\\Colours"), D::UserAllComputers, &S::ColorScheme},
        {QStringLiteral("HTML background color"), html, D::UserAllComputers, &S::HtmlBackgroundColor},
        {QStringLiteral("Store charset in HTML"), html, D::UserAllComputers, &S::StoreCharsetInHtml},
        {QStringLiteral("HTML charset"), html, D::UserAllComputers, &S::HtmlCharset},
        {QStringLiteral("Clipboard text handling"), clip, D::UserAllComputers, &S::ClipboardTextHandling},
        {QStringLiteral("On drop action"), clip, D::UserAllComputers, &S::OnDropAction},
        {QStringLiteral("Show most used categories first"), mostUsed, D::UserAllComputers, &S::ShowMostUsedCategoriesFirst},
        {QStringLiteral("Most used categories shown"), mostUsed, D::UserAllComputers, &S::MostUsedCategoriesShown},
        {QStringLiteral("Most used categories method"), mostUsed, D::UserAllComputers, &S::MostUsedCategoriesMethod},
        {QStringLiteral("Cleanup temporary files"), QStringLiteral("Settings\\Temp files"), D::UserAllComputers, &S::CleanupTemporaryFiles},
        {QStringLiteral("Mail address"), mail, D::UserAllComputers, &S::MailAddress},
        {QStringLiteral("Mail SMTP host"), mail, D::UserAllComputers, &S::MailSmtpHost},
        {QStringLiteral("Mail size limit"), mail, D::UserAllComputers, &S::MailSizeLimit},
        {QStringLiteral("Mail as .ZIP file"), mail, D::UserAllComputers, &S::MailAsZip},
        {QStringLiteral("Mail SMTP port"), mail, D::UserAllComputers, &S::MailSmtpPort},
        {QStringLiteral("Mail connection security"), mail, D::UserAllComputers, &S::MailSecurity},
        {QStringLiteral("Mail user name"), mail, D::UserAllComputers, &S::MailUserName},
        {QStringLiteral("Backup folder"), mail, D::UserAllComputers, &S::BackupFolder},
    };
}

} // namespace

const QList<TSettingDef>& SettingsCatalogue()
{
    static const QList<TSettingDef> catalogue = BuildCatalogue();
    return catalogue;
}

TAppSettings DefaultAppSettings(const QString& dataFolder)
{
    TAppSettings s;
    s.CompressionFolder = dataFolder + QStringLiteral("Compression/");
    s.ExtractFolder = dataFolder + QStringLiteral("Extracted/");
    s.MonitoredFolder = dataFolder + QStringLiteral("Monitored/");
    s.MailFolder = dataFolder + QStringLiteral("Mail/");
    s.ExportFolder = dataFolder + QStringLiteral("Export/");
    // A drive root has no counterpart here: backups default to the home folder.
    s.BackupFolder = QDir::homePath() + QLatin1Char('/');
    return s;
}
