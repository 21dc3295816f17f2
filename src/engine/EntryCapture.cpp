#include "engine/EntryCapture.h"

#include "app/AccessChecks.h"
#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/User.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QMetaObject>

namespace {

const QString kNoticeTitle = QStringLiteral("[Tessaryn]");

bool Store(TEntryData& entry)
{
    TdmDB db;
    return entry.Save([&db](TEntryData& e) { return db.StoreEntry(e); });
}

// Every file of the entry's folder is to be stored.
void MarkWholeFolder(TEntryData& entry)
{
    TFolderFiles& files = entry.FolderFiles();
    files.ListFolder(entry.GetFolder());
    files.SelectAll();
}

// A new entry that is not going ahead leaves no folder behind; the folder is
// its own and fresh, so nothing of the user's is in it.
void DiscardNewEntry(std::unique_ptr<TEntryData>& entry)
{
    if (!entry)
        return;
    const QString folder = entry->GetFolder();
    entry.reset();
    QDir(folder).removeRecursively();
}

} // namespace

TEntryCapture::TEntryCapture(TdmMain& main, TEntryManager& manager, TEventAssistant& events)
    : m_main(main), m_manager(manager), m_events(events)
{
}

TEntryCapture::~TEntryCapture() = default;

QStringList TEntryCapture::PasteInto(const QString& folder, int textMode)
{
    TAppSettings& app = m_main.App;
    const TRestoreOnExit<QString> monitored(app.MonitoredFolder, folder);
    const TRestoreOnExit<int> handling(app.ClipboardTextHandling, textMode != 0 ? textMode : app.ClipboardTextHandling);
    // What a window's drop handler does with a paste: store it in the
    // monitored folder.
    return m_events.PasteClipboard(
        [this](const TDropData& data) { return m_events.StoreDroppedData(m_main.App.MonitoredFolder, data); });
}

void TEntryCapture::TellNothingToStore()
{
    m_main.Desktop().ShowMessage(TEventAssistant::NothingToStoreText, IDesktop::TMsgKind::Information);
}

bool TEntryCapture::CreateEntryFromClipboard(int textMode)
{
    if (TDropData::FromClipboard().IsEmpty()) {
        TellNothingToStore();
        return false;
    }
    std::unique_ptr<TEntryData> entry;
    try {
        entry = m_manager.CreateNewEntry(true);
        if (!entry)
            return false;
        if (PasteInto(entry->GetFolder(), textMode).isEmpty()) {
            // For instance only files that could not be read.
            DiscardNewEntry(entry);
            TellNothingToStore();
            return false;
        }
        MarkWholeFolder(*entry);
        return m_manager.ShowEntryEditor(entry.release(), true);
    } catch (const ETessarynError&) {
        DiscardNewEntry(entry);
        return false;
    }
}

bool TEntryCapture::CreateEntryFromDrop(const TDropData& data)
{
    std::unique_ptr<TEntryData> entry;
    try {
        entry = m_manager.CreateNewEntry(true);
        if (!entry)
            return false;
        if (m_events.StoreDroppedData(entry->GetFolder(), data).isEmpty()) {
            DiscardNewEntry(entry);
            return false;
        }
        MarkWholeFolder(*entry);
    } catch (const ETessarynError&) {
        DiscardNewEntry(entry);
        return false;
    }
    // The window that took the drop is still inside its drop handling: the
    // editor opens only after that has returned.
    auto pending = std::make_shared<std::unique_ptr<TEntryData>>(std::move(entry));
    QMetaObject::invokeMethod(
        &m_context, [this, pending] { OpenDropped(std::move(*pending)); }, Qt::QueuedConnection);
    return true;
}

void TEntryCapture::OpenDropped(std::unique_ptr<TEntryData> entry)
{
    if (!entry)
        return;
    if (OpenDroppedEntry) {
        OpenDroppedEntry(entry.release());
        return;
    }
    // No window to edit the entry in: it is stored as it is.
    try {
        Store(*entry);
    } catch (const ETessarynError& e) {
        // Nobody up the stack of a deferred call could tell the user.
        m_main.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    } catch (const EAbort&) {
    }
}

bool TEntryCapture::CreateEntryFromQuickNote(const QString& text)
{
    TEventAssistant::PutTextOnClipboard(text);
    return CreateEntryFromClipboard(0);
}

bool TEntryCapture::AddClipboardToEntry(int code, int textMode)
{
    if (!CheckAccess(m_main.Connection(), m_main.Desktop(), {code}, akModify, AccessTexts::ModifyEntry))
        return false;
    // Checked before the entry is extracted afresh, which would throw away
    // the changes of an entry open in an editor for nothing.
    if (TDropData::FromClipboard().IsEmpty()) {
        TellNothingToStore();
        return true;
    }
    TEntryData* const open = m_manager.OpenEntries().FindOpenEntry(code);
    std::unique_ptr<TEntryData> fresh;
    if (!open) {
        fresh = std::make_unique<TEntryData>(m_main, false);
        fresh->SetCode(code);
    }
    TEntryData& entry = open ? *open : *fresh;
    try {
        // What is stored next is the whole folder: it must start as the
        // stored archive, without files an earlier extraction left there. An
        // open entry's folder already holds the editor's work, saved or not:
        // extracting again would overwrite its files and reload its row.
        if (!open)
            m_manager.ExtractWholeEntry(entry);
        const bool written = !PasteInto(entry.GetFolder(), textMode).isEmpty();
        if (!written)
            TellNothingToStore();
        if (open) {
            m_manager.ShowEntryEditor(open, false);
            return true;
        }
        if (!written)
            return true;
        MarkWholeFolder(entry);
        // This notice is given whatever the notification setting says, so the
        // store's own one (given only when notices are wanted) is held back.
        bool stored = false;
        {
            const TRestoreOnExit<bool> quiet(m_main.App.NotifyEntriesChanged, false);
            stored = Store(entry);
        }
        // A failed store has told the user itself ("Entry was NOT saved.").
        if (stored)
            m_main.Desktop().Notice(
                kNoticeTitle,
                QStringLiteral("The selected file(s) have been successfully stored under the title \"%1\".")
                    .arg(entry.Title()));
        return true;
    } catch (const ETessarynError&) {
        return false;
    }
}
