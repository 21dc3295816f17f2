#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TdmMain;
class TEntryData;
class TEntryManager;
class TEventAssistant;
struct TDropData;

// The entry operations that capture content: a new entry from the clipboard,
// from a drop or from a quick note, and the clipboard added to a stored
// entry. The content is written as files by the event assistant; the entry
// manager makes the entries and hands them to the editor.
//
// A paste goes where the monitored folder is: for the length of one paste
// the "Monitored folder" setting points at the entry's folder, and "Clipboard
// text handling" is the text mode asked for (0 keeps the setting). Both
// settings are restored afterwards, also when writing failed.
//
// When the clipboard offers nothing that can be stored, the user is told
// TEventAssistant::NothingToStoreText (information) and nothing is changed.
class TEntryCapture {
public:
    TEntryCapture(TdmMain& main, TEntryManager& manager, TEventAssistant& events);
    ~TEntryCapture();
    TEntryCapture(const TEntryCapture&) = delete;
    TEntryCapture& operator=(const TEntryCapture&) = delete;

    // Opens a new entry made from a drop for editing, as a new entry; takes
    // the entry over (the main window hands it to the entry manager's
    // ShowEntryEditor). Called once the drop has completed. Without it the
    // new entry is stored at once, as it is, through the entry's Save.
    std::function<void(TEntryData* entry)> OpenDroppedEntry;

    // A new entry holding the clipboard's content, all of it marked, opened
    // in the editor. textMode: 0 as the setting says, 2 as HTML, 3 as plain
    // text. False when nothing was created (refused, nothing to store, or an
    // error, which is not reported).
    bool CreateEntryFromClipboard(int textMode);
    // A new entry holding the dropped data, all of it marked; it is opened
    // (OpenDroppedEntry) after the drop operation has returned. False when
    // nothing was created (refused, nothing could be stored, or an error).
    bool CreateEntryFromDrop(const TDropData& data);
    // The text of the quick-note window: put on the clipboard as plain text
    // (as the window does when it closes with OK), then
    // CreateEntryFromClipboard(0).
    bool CreateEntryFromQuickNote(const QString& text);
    // Adds the clipboard's content to the entry of that code: the entry is
    // extracted afresh, the clipboard pasted into its folder; an entry open
    // in an editor is shown there, any other one is stored with every file of
    // its folder and reported with a notice whatever the notification
    // setting. False when access is refused or an error occurred; a cancelled
    // password ends it with EAbort.
    bool AddClipboardToEntry(int code, int textMode);

private:
    // Pastes the clipboard into folder through the monitored-folder setting;
    // the paths written.
    QStringList PasteInto(const QString& folder, int textMode);
    void OpenDropped(std::unique_ptr<TEntryData> entry);
    void TellNothingToStore();

    TdmMain& m_main;
    TEntryManager& m_manager;
    TEventAssistant& m_events;
    // Receiver of the deferred opening of dropped entries: pending ones are
    // dropped (and their entries freed) with it.
    QObject m_context;
};
