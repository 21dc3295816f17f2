#pragma once

#include <QString>

// Every application setting held in memory by the main data module, with its
// default. Keys, sections and scopes are declared once in AppSettings.cpp.
struct TAppSettings {
    // "Settings\folders" (folders end with "/"; current user on this computer)
    QString CompressionFolder;   // read only, never written
    QString ExtractFolder;
    QString MonitoredFolder;
    QString MailFolder;          // read only, never written
    QString ExportFolder;
    bool AutoSelectAddedFiles = true;
    int FolderView = 0;          // 0 small icons, 1 large; always written as 0

    // "Settings\entries"
    bool AutoEditEntriesIfFilesAdded = false;
    bool AutoEditMergedEntries = false;
    bool AutoExpandSearchEntries = false;
    int DefaultActionMultipleFiles = 1;   // 1 edit, 2 open folder
    int DefaultActionSingleFile = 0;      // 0 view, 1 edit, 2 open folder
    int EntriesSortOrder = 2;             // 0 modified, 1 creation, 2 reverse creation, 3 title
    bool EditMultipleEntries = false;
    bool AllowAnyFileSize = false;
    // New passwords use the traditional ZIP encryption (readable by old
    // tools, but weak) instead of AES-256.
    bool TraditionalZipEncryption = false;
    bool PersistentEntrySelection = true;

    // "Settings\Tray bar"
    bool ShowTrayIcon = true;
    bool NotifyMonitoredFolderChanges = true;
    bool NotifyEntriesChanged = true;

    // "Settings\Colours"
    int ColorScheme = 0;                  // 0 Dusk, 1 Simple, 2 Dawn, 3 Gold

    // "Settings\HTML"
    QString HtmlBackgroundColor = QStringLiteral("FFFFFF");
    bool StoreCharsetInHtml = false;
    QString HtmlCharset = QStringLiteral("iso-8859-1");

    // "Settings\Clipboard text handling"
    int ClipboardTextHandling = 1;        // 1 automatic, 2 HTML, 3 plain text, 4 HTML without formatting
    int OnDropAction = 0;                 // 0 new entry, 1 save into the monitored folder

    // "Settings\Most used categories"
    bool ShowMostUsedCategoriesFirst = true;
    int MostUsedCategoriesShown = 4;
    int MostUsedCategoriesMethod = 0;     // 0 recent, 1 common

    // "Settings\Temp files"
    int CleanupTemporaryFiles = 2;        // 0 entry closed, 1 application ends, 2 application starts

    // "Settings\eMail"
    QString MailAddress = QStringLiteral("<Enter your e-mail address here>");
    QString MailSmtpHost;
    int MailSizeLimit = 1024;
    bool MailAsZip = true;
    // How the SMTP server is reached; the password is kept in the desktop's
    // secret store (MailPassword), never in these tables.
    int MailSmtpPort = 25;
    int MailSecurity = 0;                 // 0 none, 1 STARTTLS, 2 TLS
    QString MailUserName;
    QString BackupFolder;                 // defaults to the user's home folder
};
