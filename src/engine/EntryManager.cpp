#include "engine/EntryManager.h"

#include "app/AccessChecks.h"
#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/User.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/OpenWithDesktop.h"
#include "engine/TransferredItem.h"
#include "engine/UsedEntry.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace {

namespace fs = std::filesystem;

const QString kNoticeTitle = QStringLiteral("[Tessaryn]");
const QString kNewEntryTitle = QStringLiteral("<Enter title here>");
// Above this many entries the delete confirmation no longer names them.
constexpr int kListedDeleteLimit = 20;

fs::path ToFsPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// Moves or copies one item to exactly the path given. The shell helpers read
// "*" and "?" in a name as a pattern, which would take every matching item
// along; such a name (legal here) is handled by the file system directly.
bool TransferItem(const QString& from, const QString& to, bool move)
{
    const QString name = from.mid(from.lastIndexOf(u'/') + 1);
    if (!name.contains(u'*') && !name.contains(u'?'))
        return move ? ShellMove(from, to) : ShellCopy(from, to);
    std::error_code ec;
    fs::create_directories(ToFsPath(to).parent_path(), ec);
    if (move)
        fs::rename(ToFsPath(from), ToFsPath(to), ec);
    else
        fs::copy(ToFsPath(from), ToFsPath(to), fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    return !ec;
}

// Stops a folder list's watcher for the length of a scope and starts it
// again afterwards, also when an error leaves the scope.
class TWatchPause {
public:
    explicit TWatchPause(TFolderFiles& files) : m_files(files) { m_files.StopWatching(); }
    ~TWatchPause() { m_files.ResumeWatching(); }
    TWatchPause(const TWatchPause&) = delete;
    TWatchPause& operator=(const TWatchPause&) = delete;

private:
    TFolderFiles& m_files;
};

} // namespace

TEntryManager::TEntryManager(TdmMain& main, TdmDB& db) : m_main(main), m_db(db), m_openEntries(main)
{
    TEntryData::SetFileMover([this](TFolderFiles& source, TFolderFiles& target) {
        {
            TWatchPause pause(source);
            MoveSelectedFiles(source, target);
        }
        // The move leaves the lists as they were; the editor goes on with them.
        source.Refresh();
        target.Refresh();
    });
    TEntryFiles::OpenEntryFile = [this](int code, const QString& name, int kind) { OpenEntryFile(code, name, kind); };
}

TEntryManager::~TEntryManager()
{
    TEntryData::SetFileMover(nullptr);
    TEntryFiles::OpenEntryFile = nullptr;
}

// --- helpers ----------------------------------------------------------------

std::unique_ptr<TEntryData> TEntryManager::NewEntryObject(bool watchFolder)
{
    return std::make_unique<TEntryData>(m_main, watchFolder);
}

bool TEntryManager::CheckView(int code)
{
    return CheckAccess(m_main.Connection(), m_main.Desktop(), {code}, akView, AccessTexts::ViewEntry);
}

TEntryManager::TUsedEntry TEntryManager::UseEntry(int code)
{
    if (TEntryData* open = m_openEntries.FindHeld(code))
        return TUsedEntry(m_openEntries, open, nullptr);
    return TUsedEntry(m_openEntries, nullptr, LoadAndExtractEntry(code));
}

QString TEntryManager::OpenEntryInFolderText(const TEntryData& open)
{
    return QStringLiteral("Entry [ %1. %2 ] is open for editing; extracting it again would overwrite the work in its "
                          "folder. You must first close it.")
        .arg(QString::number(open.Code()), open.Title());
}

void TEntryManager::CheckFolderNotInUse(const TEntryData& entry) const
{
    if (const TEntryData* open = m_openEntries.FindUsingFolder(entry.GetFolder()))
        throw ETessarynError(OpenEntryInFolderText(*open));
}

bool TEntryManager::RefuseOpenEntries(const QList<int>& codes, const QString& refusal)
{
    for (const int code : codes) {
        if (m_openEntries.FindHeld(code)) {
            m_main.Desktop().ShowMessage(refusal, IDesktop::TMsgKind::Warning);
            return true;
        }
    }
    return false;
}

void TEntryManager::Notify(const QString& text)
{
    if (m_main.App.NotifyEntriesChanged)
        m_main.Desktop().Notice(kNoticeTitle, text);
}

// --- creating and loading ---------------------------------------------------

std::unique_ptr<TEntryData> TEntryManager::CreateNewEntry(bool watchFolder)
{
    if (!CheckCreateRight(m_main.User(), m_main.Desktop()) || !CheckWritable(m_main.Connection(), m_main.Desktop()))
        return nullptr;
    TdmConnection& connection = m_main.Connection();
    auto entry = NewEntryObject(watchFolder);
    entry->LoadFromPacket(connection.GetEntry(0));
    entry->SetCode(connection.GetNewEntryCode());
    entry->SetTitle(kNewEntryTitle);
    ClientRecordSet& row = entry->EntryRecordSet();
    row.SetValue(QStringLiteral("DateCreated"), QDateTime(m_main.CurrentDate(), QTime(0, 0)));
    row.SetValue(QStringLiteral("GUID"), NewGuidText());
    const QString folder = entry->GetFolder();
    if (!QDir().mkpath(folder))
        throw ETessarynError(QStringLiteral("The folder \"%1\" could not be created.").arg(folder));
    return entry;
}

std::unique_ptr<TEntryData> TEntryManager::LoadEntry(int code, const std::function<void(TEntryData&)>& load)
{
    auto entry = NewEntryObject(true);
    entry->SetCode(code);
    TWatchPause pause(entry->FolderFiles());
    load(*entry);
    return entry;
}

std::unique_ptr<TEntryData> TEntryManager::LoadAndExtractEntry(int code)
{
    return LoadEntry(code, [this](TEntryData& entry) { ExtractWholeEntry(entry); });
}

void TEntryManager::ExtractWholeEntry(TEntryData& entry)
{
    CheckFolderNotInUse(entry);
    m_db.ExtractEntryAfresh(entry);
}

std::unique_ptr<TEntryData> TEntryManager::LoadEntryRecordOnly(int code)
{
    return LoadEntry(code, [this](TEntryData& entry) { m_db.LoadEntryRecord(entry); });
}

// --- opening ----------------------------------------------------------------

bool TEntryManager::ShowEntryEditor(TEntryData* entry, bool isNew)
{
    if (!entry)
        return false;
    if (!isNew && !CheckView(entry->Code())) {
        if (!m_openEntries.Holds(entry))
            delete entry;
        return false;
    }
    m_openEntries.OpenForEditing(entry, isNew);
    return true;
}

void TEntryManager::EditEntry(int code)
{
    TUsedEntry entry = UseEntry(code);
    ShowEntryEditor(entry.HandOver(), false);
}

void TEntryManager::ViewEntry(int code)
{
    OpenEntryWith(code, 0, 1);
}

void TEntryManager::OpenEntryByDefaultAction(int code)
{
    OpenEntryWith(code, m_main.App.DefaultActionSingleFile, m_main.App.DefaultActionMultipleFiles);
}

void TEntryManager::OpenEntryWith(int code, int singleFileAction, int multipleFilesAction)
{
    if (!CheckView(code))
        return;
    TUsedEntry entry = UseEntry(code);
    TFolderFiles& files = entry->FolderFiles();
    switch (files.DetermineMainFile() ? singleFileAction : multipleFilesAction) {
    case 0:
        // Without a main file the name is empty and the folder itself opens.
        OpenWithDesktop(m_main.Desktop(), entry->GetFolder() + files.MainFileName());
        break;
    case 2:
        entry->ExploreFolder();
        break;
    default:
        ShowEntryEditor(entry.HandOver(), false);
        break;
    }
}

void TEntryManager::ExploreEntry(int code)
{
    if (!CheckView(code))
        return;
    // The editor's folder holds the user's work, unsaved perhaps: it is shown
    // as it is, never extracted over.
    if (TEntryData* open = m_openEntries.FindHeld(code)) {
        open->ExploreFolder();
        return;
    }
    const std::unique_ptr<TEntryData> entry = LoadAndExtractEntry(code);
    entry->ExploreFolder();
}

void TEntryManager::OpenEntryFile(int code, const QString& name, int kind)
{
    if (!CheckView(code))
        return;
    if (const TEntryData* open = m_openEntries.FindHeld(code)) {
        OpenWithDesktop(m_main.Desktop(), open->GetFolder() + name);
        return;
    }
    const auto entry = NewEntryObject(true);
    entry->SetCode(code);
    CheckFolderNotInUse(*entry);
    m_db.ExtractEntry(*entry, name, nullptr, kind);
    OpenWithDesktop(m_main.Desktop(), entry->GetFolder() + name);
}

// --- extracting -------------------------------------------------------------

bool TEntryManager::ExtractEntries(const QList<int>& codes)
{
    if (!CheckAccess(m_main.Connection(), m_main.Desktop(), codes, akView, AccessTexts::ExtractEntries))
        return false;
    if (RefuseOpenEntries(codes, QStringLiteral("Some of the selected entries are open for editing. You must first "
                                                "close them before extracting them.")))
        return false;
    // Stopping between two entries leaves each one wholly out or untouched.
    std::optional<TProgressScope> progress;
    if (codes.size() > 1)
        progress.emplace(m_main.Desktop(), QStringLiteral("Extracting the selected entries..."), true);
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (progress && !progress->Step(i, codes.size()))
            throw EAbort();
        try {
            LoadAndExtractEntry(codes[i]);
        } catch (const ETessarynError&) {
            return false;
        }
    }
    if (progress)
        progress->Step(codes.size(), codes.size());
    return true;
}

bool TEntryManager::ExtractMarkedEntries(const QList<int>& codes)
{
    bool extracted = false;
    try {
        extracted = ExtractEntries(codes);
    } catch (const EAbort&) {
        return false;
    }
    if (extracted)
        Notify(QStringLiteral("The selected entries have been successfully extracted to disk."));
    else
        m_main.Desktop().ShowMessage(QStringLiteral("Entries could not be extracted."), IDesktop::TMsgKind::Error);
    return extracted;
}

void TEntryManager::ExtractSelectedEntryFiles(int code, TEntryFiles& entryFiles)
{
    if (TEntryData* open = m_openEntries.FindOpenEntry(code)) {
        const QString question =
            QStringLiteral("Entry \r\n[ %1. %2 ] \r\nis already open for editing. Do you wish to view it now?")
                .arg(QString::number(open->Code()), open->Title());
        if (m_main.Desktop().Confirm(question))
            ShowEntryEditor(open, false);
        return;
    }
    if (!CheckView(code))
        return;
    const auto entry = NewEntryObject(true);
    entry->SetCode(code);
    CheckFolderNotInUse(*entry);
    m_db.ExtractEntry(*entry, QString(), &entryFiles);
}

// --- deleting and re-filing -------------------------------------------------

bool TEntryManager::DeleteEntryList(const QList<int>& codes)
{
    if (!CheckAccess(m_main.Connection(), m_main.Desktop(), codes, akDelete, AccessTexts::DeleteEntries))
        return false;
    return m_main.Connection().DeleteEntries(CodesToCommaText(codes));
}

bool TEntryManager::DeleteEntries(const QList<int>& codes, const QStringList& titles)
{
    if (codes.isEmpty())
        return false;
    IDesktop& desktop = m_main.Desktop();
    if (m_openEntries.AnyOpen(codes)) {
        desktop.ShowMessage(QStringLiteral("Some of the selected entries are open for editing. You must first close "
                                           "them before deleting."),
                            IDesktop::TMsgKind::Information);
        return false;
    }
    QString question;
    if (codes.size() <= kListedDeleteLimit) {
        QString list;
        for (qsizetype i = 0; i < codes.size(); ++i)
            list += QStringLiteral("[ %1. %2 ]\r\n").arg(QString::number(codes[i]), titles.value(i));
        question = QStringLiteral("Are you sure you want to delete entries:\r\n\r\n%1\r\n\r\n and their included files "
                                  "from the database?")
                       .arg(list);
    } else {
        question = QStringLiteral("Are you sure you want to delete the selected entries?");
    }
    if (!desktop.Confirm(question))
        return false;

    const bool deleted = DeleteEntryList(codes);
    if (deleted)
        Notify(QStringLiteral("The selected entries have been successfully deleted from the database."));
    else
        desktop.ShowMessage(QStringLiteral("Entries were NOT deleted."), IDesktop::TMsgKind::Error);
    return deleted;
}

bool TEntryManager::MoveEntriesUnderCategory(const QList<int>& codes, int categoryCode)
{
    if (!CheckAccess(m_main.Connection(), m_main.Desktop(), codes, akModify, AccessTexts::ModifySelected,
                     IDesktop::TMsgKind::Error))
        return false;
    m_main.Connection().MoveEntriesToCategory(CodesToCommaText(codes), categoryCode);
    if (RefreshBrowser)
        RefreshBrowser();
    Notify(QStringLiteral("The selected entries have been moved under the specified category."));
    return true;
}

// --- the monitored folder ---------------------------------------------------

TEntryData* TEntryManager::FindEntryUsingMonitoredFolder() const
{
    for (int i = 0; i < m_openEntries.Count(); ++i) {
        TEntryData* entry = m_openEntries.Items(i).Entry.get();
        if (entry->GetFolder() == m_main.App.MonitoredFolder)
            return entry;
    }
    return nullptr;
}

bool TEntryManager::CreateEntryFromMonitoredFolder(const QString& folder)
{
    if (const TEntryData* open = FindEntryUsingMonitoredFolder()) {
        m_main.Desktop().ShowMessage(QStringLiteral("There is an open entry using the monitored folder. To proceed to "
                                                    "this operation, you must first close this entry."),
                                     IDesktop::TMsgKind::Warning);
        if (m_openEntries.ShowEntryPage)
            m_openEntries.ShowEntryPage(open->Code());
        return false;
    }
    try {
        std::unique_ptr<TEntryData> entry = CreateNewEntry(true);
        if (!entry)
            return false;
        // The entry works on the monitored folder itself; the editor moves the
        // files into the entry's own folder when it saves.
        entry->SetFolderOverride(folder);
        TFolderFiles& files = entry->FolderFiles();
        files.ListFolder(entry->GetFolder());
        files.SelectAll();
        return ShowEntryEditor(entry.release(), true);
    } catch (const ETessarynError& e) {
        // The main window's command has no other way to learn why.
        m_main.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
        return false;
    } catch (const EAbort&) {
        return false;
    }
}

// --- moving files between folder lists --------------------------------------

QStringList TEntryManager::MoveSelectedFiles(TFolderFiles& source, TFolderFiles& target)
{
    return TransferSelectedFiles(source, target, true);
}

QStringList TEntryManager::CopySelectedFiles(TFolderFiles& source, TFolderFiles& target)
{
    return TransferSelectedFiles(source, target, false);
}

QStringList TEntryManager::TransferSelectedFiles(TFolderFiles& source, TFolderFiles& target, bool move,
                                                 QList<TTransferredItem>* originals)
{
    // Taken before anything moves: a refresh of the list on the way must not
    // change which items go.
    struct TMarked {
        QString name;
        bool isFolder;
    };
    QList<TMarked> marked;
    for (int i = 0; i < source.Count(); ++i)
        if (source.IsSelected(i))
            marked.append({source.Items(i)->Name(), source.Items(i)->IsFolder()});

    const QString from = source.FolderPath();
    const QString to = target.FolderPath();
    QStringList names;
    for (const TMarked& item : std::as_const(marked)) {
        QString name = item.name;
        QString targetName = name;
        if (target.Contains(name)) {
            const QString renamed = QString::number(m_main.Connection().GetNewEntryCode()) + u'_' + name;
            // The source keeps its names when told to: its folder may be an
            // entry's, whose stored files are known by them.
            if (originals)
                targetName = renamed;
            else if (ShellRename(from + name, from + renamed))
                name = targetName = renamed;
        }
        // A name the list did not show may still be taken on disk (the list
        // may be older than the folder, or differ only in case from an item):
        // nothing is ever overwritten.
        const QString destination = UniqueTargetPath(to + targetName, item.isFolder);
        std::optional<TTransferredItem> original;
        if (originals)
            original.emplace(from, name);
        if (TransferItem(from + name, destination, move)) {
            names.append(QFileInfo(destination).fileName());
            if (original)
                originals->append(*original);
        }
    }
    return names;
}
