#pragma once

#include <QString>
#include <QStringList>
#include <functional>
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

    // Progress of work that can take more than a moment. BeginProgress opens
    // it (the window appears only once the work has lasted a moment),
    // StepProgress tells how far it is (a total of 0: not known) and answers
    // false once the user asked to stop, which a cancellable work honours by
    // leaving everything as it was; EndProgress closes it. Calls nest: the
    // outermost progress is shown, inner work keeps it alive. Stepping also
    // keeps the windows painted, so the program stays responsive.
    virtual void BeginProgress(const QString& text, bool cancellable) {}
    virtual bool StepProgress(qint64 done, qint64 total) { return true; }
    virtual void EndProgress() {}

    // Convenience forms used throughout the engine.
    void ShowMessage(const QString& text, TMsgKind kind) { MessageBox(text, kind, TButtons::Ok); }
    bool Confirm(const QString& text) {
        return MessageBox(text, TMsgKind::Confirmation, TButtons::YesNo) == TAnswer::Yes;
    }
};

// Shows a progress while it exists and closes it when it goes, also when an
// error unwinds through it.
class TProgressScope {
public:
    TProgressScope(IDesktop& desktop, const QString& text, bool cancellable) : m_desktop(desktop)
    {
        m_desktop.BeginProgress(text, cancellable);
    }
    ~TProgressScope() { m_desktop.EndProgress(); }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

    // False once the user asked to stop.
    bool Step(qint64 done, qint64 total) { return m_desktop.StepProgress(done, total); }

private:
    IDesktop& m_desktop;
};

// Runs long work under a progress: the work tells how far it is through the
// given callback (set for the run, cleared after, also when the work throws).
inline void RunWithProgress(IDesktop& desktop, const QString& text,
                            std::function<bool(qint64, qint64)>& progressCallback,
                            const std::function<void()>& work, bool cancellable)
{
    TProgressScope progress(desktop, text, cancellable);
    progressCallback = [&progress](qint64 done, qint64 total) { return progress.Step(done, total); };
    struct TClear {
        std::function<bool(qint64, qint64)>& callback;
        ~TClear() { callback = nullptr; }
    } clear{progressCallback};
    work();
}

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
