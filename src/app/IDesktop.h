#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Every message box, confirmation, picker, shell action and tray notice of the
// program goes through this one interface. The windowed implementation is thin;
// tests install their own to answer prompts and read the exact texts shown.
class IDesktop {
public:
    enum class TMsgKind { Information, Warning, Error, Confirmation };
    enum class TButtons { Ok, YesNo, YesNoCancel, OkCancel, YesCancel };
    enum class TAnswer { Ok, Cancel, Yes, No };

    virtual ~IDesktop() = default;

    // Modal message box with the system's text, kind and buttons.
    virtual TAnswer MessageBox(const QString& text, TMsgKind kind, TButtons buttons) = 0;
    // Success notice in the notification area (balloon), with its title.
    virtual void Notice(const QString& title, const QString& text) = 0;

    // Shell actions: open with the associated program, show a folder window, properties.
    virtual bool ShellOpen(const QString& path) = 0;
    virtual bool ShellExplore(const QString& folder) = 0;
    virtual void ShowFileProperties(const QString& path) = 0;

    // The password window of a protected entry; empty optional when cancelled.
    virtual std::optional<QString> RequestEntryPassword(int code, const QString& title) = 0;
    // A one-line text prompt (caption, prompt, pre-filled value); empty optional when cancelled.
    virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                              const QString& value) = 0;
    // Folder and file pickers; empty text when cancelled.
    virtual QString PickFolder(const QString& caption, const QString& start) = 0;
    virtual QString PickOpenFile(const QString& caption, const QString& start, const QString& filter) = 0;
    virtual QString PickSaveFile(const QString& caption, const QString& start, const QString& filter) = 0;

    // The wait cursor, shown while long work runs; calls nest.
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;

    // Convenience forms used throughout the engine.
    void ShowMessage(const QString& text, TMsgKind kind) { MessageBox(text, kind, TButtons::Ok); }
    bool Confirm(const QString& text) {
        return MessageBox(text, TMsgKind::Confirmation, TButtons::YesNo) == TAnswer::Yes;
    }
};

// Shows the wait cursor while it exists and restores the previous cursor when
// it goes, also when an error unwinds through it.
class TCursorRestore {
public:
    explicit TCursorRestore(IDesktop& desktop) : m_desktop(desktop) { m_desktop.BeginWait(); }
    ~TCursorRestore() { m_desktop.EndWait(); }
    TCursorRestore(const TCursorRestore&) = delete;
    TCursorRestore& operator=(const TCursorRestore&) = delete;

private:
    IDesktop& m_desktop;
};
