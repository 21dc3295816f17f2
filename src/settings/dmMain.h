#pragma once

#include "db/DataPacket.h"
#include "settings/AppSettings.h"

#include <QColor>
#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class ClientRecordSet;
class IDesktop;
class ISettingsManager;
class TCategories;
class TDatabaseSettingsManager;
class TdmConnection;
class TdmDB;
class TEntryManager;
class TEventAssistant;
class TEntryCapture;
class TMostUsedCategories;
class TMRUList;
class TMRUListProvider;
class TOstrivaleSearchOptions;
class TProtectedFolders;
class TUser;
class TFolderFiles;

// Every window and component that paints with the scheme's colours.
class IColorSchemeObserver {
public:
    virtual ~IColorSchemeObserver() = default;
    virtual void ApplyColorScheme() = 0;
};

// Palette slots of the colour scheme (1-based, as the windows refer to them).
enum TColorSlot {
    csWindow = 1, csWindowText, csGrid, csHighlightStart, csHighlightEnd, csSelectedTitle, csGridText,
    csGridLabel, csGridNote, csMenuPen, csMenuBrush, csMostUsedMenuPen, csMostUsedMenuBrush, csSplitterArrow,
    csSplitterButton, csSplitterButtonHighlight
};

// The hub of the running program: owns the long-lived objects in a fixed
// order, holds every application setting in memory, the application folders
// and the colour palette, and offers the shared services.
class TdmMain : public QObject
{
    Q_OBJECT

public:
    // Creates the owned objects in their order and loads every setting. Errors
    // during creation are caught and leave IsInitialized() false.
    // The packaging module is made before the main data module at start-up;
    // without one (tests, tools) the main data module uses its own.
    TdmMain(TdmConnection& connection, IDesktop& desktop, TdmDB* db = nullptr);
    // When initialized: cleans the temporary folders, writes every setting and
    // sends the settings changes to the database, then frees the objects.
    // The folders of protected entries go in any case (ProtectedFolders).
    ~TdmMain();
    TdmMain(const TdmMain&) = delete;
    TdmMain& operator=(const TdmMain&) = delete;

    bool IsInitialized() const { return m_initialized; }
    QString InitializationError() const { return m_initializationError; }

    // Owned objects and services
    TdmConnection& Connection() { return m_connection; }
    IDesktop& Desktop() { return m_desktop; }
    TUser& User() { return *m_user; }
    ISettingsManager& Settings();
    TOstrivaleSearchOptions& SearchOptions() { return *m_searchOptions; }
    TdmDB& DB() { return *m_db; }
    TEntryManager& EntryManager() { return *m_entryManager; }
    TEventAssistant& EventAssistant() { return *m_eventAssistant; }
    // The capture operations of the entry manager (clipboard, drop, quick note).
    TEntryCapture& Capture() { return *m_capture; }
    TCategories& Categories() { return *m_categories; }
    TMostUsedCategories& MostUsedCategories() { return *m_mostUsed; }
    TMRUListProvider& MRUListProvider() { return *m_mruProvider; }
    TMRUList& SourceMRU() { return *m_mruSource; }
    TMRUList& KeywordsMRU() { return *m_mruKeywords; }
    TMRUList& SearchMRU() { return *m_mruSearches; }
    // Folders that held plain copies of protected entries: removed at the
    // end of the run whatever the clean-up setting, and at the start after a
    // run that could not end properly. Its list lives in the data folder.
    TProtectedFolders& ProtectedFolders() { return *m_protectedFolders; }

    // Application settings held in memory
    TAppSettings App;
    // The monitored, extract, export and backup folders of `folders` become
    // the program's; FoldersChanged tells those that watch or use them.
    void SetFolders(const TAppSettings& folders);

    void LoadSettings();
    void SaveSettings();
    // After the database was replaced by a restore: the settings, the
    // category tree and what hangs on them are read afresh, and nothing held
    // from before is written back.
    void ReloadAfterRestore();
    void RestoreDefaultSettings();

    // Colour scheme
    void SetColourScheme(int scheme);
    QColor Colour(int slot) const { return m_palette.at(size_t(slot - 1)); }
    void AddColorSchemeObserver(IColorSchemeObserver* observer);
    void RemoveColorSchemeObserver(IColorSchemeObserver* observer);
    // Colour lightened by n per channel, each capped at 255.
    static QColor Lighten(const QColor& colour, int n);
    // The sixteen slots a scheme gives (slot n at index n - 1), without
    // applying it: what the preferences window previews.
    static std::array<QColor, 16> SchemePalette(int scheme, int screenDepth = 24);
    int ScreenDepth() const { return m_screenDepth; }
    // The screen depth the palette is built for (below 24 bits the highlight is flat).
    void SetScreenDepth(int bitsPerPixel) { m_screenDepth = bitsPerPixel; }

    void SetShowTrayIcon(bool show);
    void SetMonitorFolder(bool monitor);
    // Installed by the windows that show the tray icon and watch the monitored folder.
    std::function<void(bool)> OnShowTrayIconChanged;
    std::function<void(bool)> OnMonitorFolderChanged;
    // Installed by the main window: opens the category manager modally (the
    // way its menu command does) for a window that needs a category while
    // none exists. Not installed, nothing can open it.
    std::function<void()> OnManageCategories;
    QString GetHTMLBackgroundColour() const;
    void SetHTMLBackgroundColour(const QString& bgr);

signals:
    // A folder of the settings changed (set by SetFolders, or read again).
    void FoldersChanged();

public:
    // Shared services
    QString EntriesSortField() const;
    QDate CurrentDate() const;
    void ClearExtractFolder();
    // "Clear !" of the export folder empties it only when it is a folder of
    // exports that the program made: never the root, the home folder (or a
    // folder that holds it), a folder the user made for other things, nor one
    // that holds anything but pages and their files folders. The reason it
    // is left alone, empty when it may be emptied.
    QString ExportFolderClearRefusal() const;
    // Empties the export folder (the folder itself stays) when the rule
    // above allows; false, touching nothing, when it does not.
    bool ClearExportFolder();
    // Records that the program made this folder to take its exports.
    static void MarkExportFolder(const QString& folder);
    void ClearCompressionLeftovers();
    // Said once at start when the database can only be read.
    static QString ReadOnlyText();
    void CleanMailFolder();
    static QString ProgramFolder();
    DeltaArray PackDeltas(const QList<ClientRecordSet*>& recordSets) const;

    TFolderFiles* CurrentFolderFiles() const { return m_currentFolderFiles; }
    void SetCurrentFolderFiles(TFolderFiles* files) { m_currentFolderFiles = files; }

private:
    void Create();

    TdmConnection& m_connection;
    IDesktop& m_desktop;
    bool m_initialized = true;
    QString m_initializationError;

    std::unique_ptr<TOstrivaleSearchOptions> m_searchOptions;
    std::unique_ptr<TUser> m_user;
    std::unique_ptr<TDatabaseSettingsManager> m_settings;
    std::unique_ptr<TdmDB> m_ownDb;
    TdmDB* m_db = nullptr;
    std::unique_ptr<TEntryManager> m_entryManager;
    std::unique_ptr<TMostUsedCategories> m_mostUsed;
    std::unique_ptr<TCategories> m_categories;
    std::unique_ptr<TEventAssistant> m_eventAssistant;
    std::unique_ptr<TEntryCapture> m_capture;
    std::unique_ptr<TMRUListProvider> m_mruProvider;
    std::unique_ptr<TMRUList> m_mruSource;
    std::unique_ptr<TMRUList> m_mruKeywords;
    std::unique_ptr<TMRUList> m_mruSearches;
    std::unique_ptr<TProtectedFolders> m_protectedFolders;

    std::array<QColor, 16> m_palette;
    int m_screenDepth = 24;
    QList<IColorSchemeObserver*> m_colorObservers;
    TFolderFiles* m_currentFolderFiles = nullptr;
};
