#include "settings/dmMain.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/User.h"
#include "db/ClientRecordSet.h"
#include "db/SystemRegistry.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/EntryCapture.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/dDB.h"
#include "engine/FileHelpers.h"
#include "engine/MostUsedCategories.h"
#include "engine/ZipArchive.h"
#include "engine/ProtectedFolders.h"
#include "search/SearchOptions.h"
#include "settings/AppSettingsCatalogue.h"
#include "settings/DatabaseSettingsManager.h"
#include "settings/MruLists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The four colour schemes: Dusk, Simple, Dawn, Gold; 0 in slot 5 means
// "slot 4 lightened by 40", and slot 15 always repeats slot 1.
constexpr std::array<std::array<unsigned, 16>, 4> kSchemes = {{
    {0xEBE9D8, 0x45696B, 0xFFFBF0, 0xAFB9C3, 0, 0x0E3F7A, 0x000000, 0x45696B, 0x800000, 0x3169C6, 0xC6D3EF,
     0xFF5555, 0xFFD2D2, 0x0000FF, 0, 0xBBBBFF},
    {0xEBE9D8, 0x000000, 0xFFFBF0, 0xCACBCC, 0xFFFBF0, 0x000000, 0x000000, 0x008080, 0x800000, 0x000080,
     0xCDCFCF, 0xFF5555, 0xFFD2D2, 0x0000FF, 0, 0xBBBBFF},
    {0xEBE9D8, 0x5C3636, 0xFFFBF0, 0xCCB4B0, 0xFFFBF0, 0x7A3E2C, 0x000000, 0x915555, 0x800000, 0xFF5555,
     0xFFD2D2, 0x3169C6, 0xC6D3EF, 0xFF0000, 0, 0xFFB3B3},
    {0xEBE9D8, 0x000000, 0xFFFBF0, 0xE3DFBA, 0xFAF6CD, 0x525047, 0x525047, 0x8A897C, 0x8A8777, 0x8A897C,
     0xFAF6CD, 0x8A897C, 0xFAF3B5, 0xF6B056, 0, 0xF4F3E8},
}};

const QStringList kSortFields = {QStringLiteral("ReverseDateModified"), QStringLiteral("code"),
                                 QStringLiteral("ReverseCreationOrder"), QStringLiteral("title")};

QString WithSlash(const QString& folder)
{
    return IncludeTrailingBackslash(folder.trimmed());
}

// The folders a user can choose.
bool SameFolders(const TAppSettings& a, const TAppSettings& b)
{
    return a.MonitoredFolder == b.MonitoredFolder && a.ExtractFolder == b.ExtractFolder
           && a.ExportFolder == b.ExportFolder && a.BackupFolder == b.BackupFolder;
}

// Stored through the six-digit rule: anything not six characters long is
// padded with zeros on the left and cut to its last six characters.
QString SixDigits(const QString& colour)
{
    return colour.size() == 6 ? colour : QString(QStringLiteral("000000") + colour).right(6);
}

} // namespace

TdmMain::TdmMain(TdmConnection& connection, IDesktop& desktop, TdmDB* db)
    : m_connection(connection), m_desktop(desktop), m_db(db)
{
    if (!m_db) {
        m_ownDb = std::make_unique<TdmDB>();
        m_db = m_ownDb.get();
    }
    App = DefaultAppSettings(ProgramFolder());
    SetColourScheme(App.ColorScheme);
    try {
        Create();
    } catch (const ETessarynError& e) {
        m_initialized = false;
        m_initializationError = e.Message();
    } catch (const std::exception& e) {
        m_initialized = false;
        m_initializationError = QString::fromUtf8(e.what());
    }
}

void TdmMain::Create()
{
    // Plain copies of protected entries that a run which died left behind go
    // first, before anything else can fail.
    m_protectedFolders = std::make_unique<TProtectedFolders>(ProgramFolder() + QStringLiteral("ProtectedFolders.lst"));
    m_protectedFolders->RemoveAll();
    m_searchOptions = std::make_unique<TOstrivaleSearchOptions>();
    m_user = std::make_unique<TUser>();
    m_settings = std::make_unique<TDatabaseSettingsManager>(m_connection, *m_user, ProgramFolder());
    LoadSettings();
    if (App.CleanupTemporaryFiles == 2)
        ClearExtractFolder();
    ClearCompressionLeftovers();
    if (m_connection.ReadOnly())
        m_desktop.ShowMessage(ReadOnlyText().arg(QDir::toNativeSeparators(m_connection.Info().sqlitePath)),
                              IDesktop::TMsgKind::Information);
    m_entryManager = std::make_unique<TEntryManager>(*this, *m_db);
    m_categories = std::make_unique<TCategories>(&m_connection);
    m_categories->Load(0);
    m_mostUsed = std::make_unique<TMostUsedCategories>(*m_categories, *m_settings, App);
    m_mostUsed->Refresh();
    // the tree answers with the code itself first; the search wants only what lies below it
    m_searchOptions->DescendantCodes = [this](int code) {
        QList<int> codes = m_categories->DescendantCodes(code);
        if (!codes.isEmpty() && codes.first() == code)
            codes.removeFirst();
        return codes;
    };
    m_eventAssistant = std::make_unique<TEventAssistant>(*this);
    m_capture = std::make_unique<TEntryCapture>(*this, *m_entryManager, *m_eventAssistant);
    m_mruProvider = std::make_unique<TMRUListProvider>(m_connection, *m_user);
    m_mruSource = std::make_unique<TMRUList>(QStringLiteral("source"), *m_mruProvider);
    m_mruKeywords = std::make_unique<TMRUList>(QStringLiteral("keywords"), *m_mruProvider);
    m_mruSearches = std::make_unique<TMRUList>(QStringLiteral("Recent searches"), *m_mruProvider);
}

TdmMain::~TdmMain()
{
    // Not left to the clean-up setting, which may keep extracted files until
    // the next start: a protected entry's files must not outlive the run.
    if (m_protectedFolders)
        m_protectedFolders->RemoveAll();
    if (m_initialized) {
        if (App.CleanupTemporaryFiles == 0 || App.CleanupTemporaryFiles == 1)
            ClearExtractFolder();
        CleanMailFolder();
        try {
            if (m_mostUsed)
                m_mostUsed->SaveRecent();
        } catch (...) {
        }
        try {
            SaveSettings();
        } catch (...) {
        }
        try {
            m_settings->Flush();
        } catch (...) {
        }
    }
    m_capture.reset();
    m_entryManager.reset();   // closes the entries still open
    m_eventAssistant.reset();
    m_searchOptions.reset();
    m_mruSearches.reset();
    m_mruKeywords.reset();
    m_mruSource.reset();
    m_mruProvider.reset();
    m_mostUsed.reset();
    m_categories.reset();
    m_settings.reset();
    m_user.reset();
}

ISettingsManager& TdmMain::Settings()
{
    return *m_settings;
}

// --- settings ----------------------------------------------------------------

void TdmMain::SetFolders(const TAppSettings& folders)
{
    const bool changed = !SameFolders(App, folders);
    App.MonitoredFolder = folders.MonitoredFolder;
    App.ExtractFolder = folders.ExtractFolder;
    App.ExportFolder = folders.ExportFolder;
    App.BackupFolder = folders.BackupFolder;
    if (changed)
        emit FoldersChanged();
}

void TdmMain::ReloadAfterRestore()
{
    m_settings->DiscardCache();
    const TAppSettings before = App;
    LoadSettings();
    if (!SameFolders(App, before))
        emit FoldersChanged();
    m_categories->Load(0);
    m_mostUsed->Refresh();
    m_entryManager->OpenEntries().ResolveCategories();
}

void TdmMain::LoadSettings()
{
    ISettingsManager& s = *m_settings;
    TSettingsAccess access(s);
    const TAppSettings defaults = DefaultAppSettings(ProgramFolder());
    for (const TSettingDef::TScope scope : {TSettingDef::UserThisComputer, TSettingDef::UserAllComputers}) {
        if (scope == TSettingDef::UserThisComputer)
            s.UseUserThisComputer();
        else
            s.UseUserAllComputers();
        for (const TSettingDef& def : SettingsCatalogue()) {
            if (def.scope != scope)
                continue;
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(App.*member)>;
                    if constexpr (std::is_same_v<T, bool>)
                        App.*member = s.ReadBool(def.key, defaults.*member, def.section);
                    else if constexpr (std::is_same_v<T, int>)
                        App.*member = s.ReadInteger(def.key, defaults.*member, def.section);
                    else
                        App.*member = s.ReadString(def.key, defaults.*member, def.section);
                },
                def.member);
            if (def.kind == TSettingDef::Folder) {
                const auto member = std::get<QString TAppSettings::*>(def.member);
                QString& folder = App.*member;
                // A blank value names no folder; read as it stands it would
                // become the root folder.
                if (folder.trimmed().isEmpty())
                    folder = defaults.*member;
                folder = WithSlash(folder);
                const bool made = !QFileInfo::exists(folder) && QDir().mkpath(folder);
                if (made && member == &TAppSettings::ExportFolder)
                    MarkExportFolder(folder);
            }
        }
        if (scope == TSettingDef::UserAllComputers) {
            s.SelectSection(QStringLiteral("Settings\\Search options"));
            m_searchOptions->LoadFromSettings(s);
        }
    }
    App.HtmlBackgroundColor = SixDigits(App.HtmlBackgroundColor);
    SetColourScheme(App.ColorScheme);
    TZipArchive::SetTraditionalEncryption(App.TraditionalZipEncryption);
}

void TdmMain::SaveSettings()
{
    ISettingsManager& s = *m_settings;
    TSettingsAccess access(s);
    for (const TSettingDef::TScope scope : {TSettingDef::UserThisComputer, TSettingDef::UserAllComputers}) {
        if (scope == TSettingDef::UserThisComputer)
            s.UseUserThisComputer();
        else
            s.UseUserAllComputers();
        for (const TSettingDef& def : SettingsCatalogue()) {
            if (def.scope != scope || def.readOnly)
                continue;
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(App.*member)>;
                    if constexpr (std::is_same_v<T, bool>)
                        s.WriteBool(def.key, App.*member, def.section);
                    else if constexpr (std::is_same_v<T, int>)
                        // large icons are a choice for this run only
                        s.WriteInteger(def.key, member == &TAppSettings::FolderView ? 0 : App.*member, def.section);
                    else
                        s.WriteString(def.key, App.*member, def.section);
                },
                def.member);
        }
        if (scope == TSettingDef::UserAllComputers) {
            s.SelectSection(QStringLiteral("Settings\\Search options"));
            m_searchOptions->SaveToSettings(s);
        }
    }
}

void TdmMain::RestoreDefaultSettings()
{
    const TAppSettings d = DefaultAppSettings(ProgramFolder());
    App.AutoEditEntriesIfFilesAdded = d.AutoEditEntriesIfFilesAdded;
    App.AutoEditMergedEntries = d.AutoEditMergedEntries;
    App.AutoExpandSearchEntries = d.AutoExpandSearchEntries;
    App.EditMultipleEntries = d.EditMultipleEntries;
    App.AllowAnyFileSize = d.AllowAnyFileSize;
    App.StoreCharsetInHtml = d.StoreCharsetInHtml;
    App.AutoSelectAddedFiles = d.AutoSelectAddedFiles;
    App.PersistentEntrySelection = d.PersistentEntrySelection;
    App.ShowMostUsedCategoriesFirst = d.ShowMostUsedCategoriesFirst;
    App.ShowTrayIcon = d.ShowTrayIcon;
    App.NotifyMonitoredFolderChanges = d.NotifyMonitoredFolderChanges;
    App.NotifyEntriesChanged = d.NotifyEntriesChanged;
    App.DefaultActionMultipleFiles = d.DefaultActionMultipleFiles;
    App.DefaultActionSingleFile = d.DefaultActionSingleFile;
    App.EntriesSortOrder = d.EntriesSortOrder;
    App.OnDropAction = d.OnDropAction;
    App.FolderView = d.FolderView;
    App.HtmlBackgroundColor = d.HtmlBackgroundColor;
    App.HtmlCharset = d.HtmlCharset;
    App.ClipboardTextHandling = d.ClipboardTextHandling;
    App.MostUsedCategoriesShown = d.MostUsedCategoriesShown;
    App.MostUsedCategoriesMethod = d.MostUsedCategoriesMethod;
    App.CleanupTemporaryFiles = d.CleanupTemporaryFiles;
    App.MailSizeLimit = d.MailSizeLimit;
    App.MailAsZip = d.MailAsZip;
    if (m_searchOptions)
        m_searchOptions->AllCategories = true;
    SetColourScheme(d.ColorScheme);
}

// --- colours -----------------------------------------------------------------

QColor TdmMain::Lighten(const QColor& colour, int n)
{
    return QColor(std::min(colour.red() + n, 255), std::min(colour.green() + n, 255), std::min(colour.blue() + n, 255));
}

std::array<QColor, 16> TdmMain::SchemePalette(int scheme, int screenDepth)
{
    if (scheme < 0 || scheme > 3)
        scheme = 0;
    std::array<QColor, 16> palette;
    const auto& table = kSchemes[size_t(scheme)];
    for (size_t i = 0; i < 16; ++i)
        palette[i] = QColor(QRgb(table[i]));
    if (table[4] == 0)
        palette[4] = Lighten(palette[3], 40);
    palette[14] = palette[0];
    if (screenDepth < 24) {
        // without enough colours a gradient bands: the highlight becomes flat
        palette[3] = Lighten(palette[3], 16);
        palette[4] = palette[3];
    }
    return palette;
}

void TdmMain::SetColourScheme(int scheme)
{
    if (scheme < 0 || scheme > 3)
        scheme = 0;
    App.ColorScheme = scheme;
    m_palette = SchemePalette(scheme, m_screenDepth);
    const auto observers = m_colorObservers;
    for (IColorSchemeObserver* observer : observers)
        observer->ApplyColorScheme();
}

void TdmMain::AddColorSchemeObserver(IColorSchemeObserver* observer)
{
    if (!m_colorObservers.contains(observer))
        m_colorObservers.append(observer);
}

void TdmMain::RemoveColorSchemeObserver(IColorSchemeObserver* observer)
{
    m_colorObservers.removeAll(observer);
}

void TdmMain::SetShowTrayIcon(bool show)
{
    const bool changed = App.ShowTrayIcon != show;
    App.ShowTrayIcon = show;
    if (changed && OnShowTrayIconChanged)
        OnShowTrayIconChanged(show);
}

void TdmMain::SetMonitorFolder(bool monitor)
{
    App.NotifyMonitoredFolderChanges = monitor;
    if (OnMonitorFolderChanged)
        OnMonitorFolderChanged(monitor);
}

// Characters 5-6, 3-4 and 1-2: red-green-blue to blue-green-red and back.
static QString SwapRedBlue(const QString& colour)
{
    return colour.mid(4, 2) + colour.mid(2, 2) + colour.mid(0, 2);
}

QString TdmMain::GetHTMLBackgroundColour() const
{
    return SwapRedBlue(App.HtmlBackgroundColor);
}

void TdmMain::SetHTMLBackgroundColour(const QString& bgr)
{
    App.HtmlBackgroundColor = SixDigits(SwapRedBlue(bgr));
}

// --- services ----------------------------------------------------------------

QString TdmMain::EntriesSortField() const
{
    return kSortFields.value(App.EntriesSortOrder, kSortFields[2]);
}

QDate TdmMain::CurrentDate() const
{
    return QDate::currentDate();
}

void TdmMain::ClearExtractFolder()
{
    if (!App.ExtractFolder.isEmpty() && App.ExtractFolder != QStringLiteral("/"))
        ShellDelete(App.ExtractFolder + QStringLiteral("*.*"));
}

QString TdmMain::ReadOnlyText()
{
    return QStringLiteral("The database \"%1\" can only be read: its file or its folder is write-protected. You can "
                          "search, view and extract entries, but no change can be saved.");
}

void TdmMain::ClearCompressionLeftovers()
{
    // Archives being built (and the compressor's own temporary copies of
    // them, "<code>.zip.XXXXXX") when a run was killed: nothing is built at
    // start, so none of them is in use.
    if (App.CompressionFolder.isEmpty() || App.CompressionFolder == QStringLiteral("/"))
        return;
    const QDir folder(App.CompressionFolder);
    for (const QString& name :
         folder.entryList({QStringLiteral("*.zip"), QStringLiteral("*.zip.*")}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(name));
}

void TdmMain::CleanMailFolder()
{
    if (App.MailFolder.isEmpty() || App.MailFolder == QStringLiteral("/"))
        return;
    DeleteFilesOlderThan(App.MailFolder, QDateTime(CurrentDate().addDays(-2), QTime(0, 0)));
    DeleteEmptySubfolders(App.MailFolder);
}

QString TdmMain::ProgramFolder()
{
    return SystemRegistry::DataFolder();
}

DeltaArray TdmMain::PackDeltas(const QList<ClientRecordSet*>& recordSets) const
{
    DeltaArray deltas;
    for (ClientRecordSet* rs : recordSets) {
        if (rs->HasUnpostedChange())
            rs->Post();
        if (rs->HasChanges()) {
            Delta d = rs->GetDelta();
            deltas.append(d.IsEmpty() ? std::nullopt : std::optional<Delta>(std::move(d)));
        } else {
            deltas.append(std::nullopt);
        }
    }
    return deltas;
}
