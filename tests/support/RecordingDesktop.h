#pragma once

#include "app/IDesktop.h"

#include <QList>
#include <QStringList>
#include <deque>

// A desktop for tests: answers prompts from queues set in advance (Yes / OK
// when nothing is queued) and records every text shown, notice and shell call.
class RecordingDesktop : public IDesktop {
public:
    struct TShown {
        QString text;
        TMsgKind kind;
        TButtons buttons;
    };

    // Answers for the next message boxes, in order.
    void QueueAnswer(TAnswer answer) { m_answers.push_back(answer); }
    // Answers for the next password windows; std::nullopt cancels.
    void QueuePassword(std::optional<QString> password) { m_passwords.push_back(std::move(password)); }
    void QueueInput(std::optional<QString> text) { m_inputs.push_back(std::move(text)); }
    void QueuePick(const QString& path) { m_picks.push_back(path); }

    QList<TShown> messages;
    QStringList notices;        // "title|text"
    QStringList opened;         // ShellOpen paths
    // What ShellOpen answers: false plays a desktop that has no program for
    // the file (the path is recorded all the same).
    bool shellOpenSucceeds = true;
    QStringList explored;       // ShellExplore folders
    // What ShellExplore answers: false plays a desktop without a file manager.
    bool shellExploreSucceeds = true;
    QStringList properties;
    QList<int> passwordRequests;
    int waitDepth = 0;
    int maxWaitDepth = 0;
    // Progress: the texts of the progresses begun, every step as (done, total),
    // and the step at which the "user" presses Cancel (-1: never).
    QStringList progressTexts;
    QList<std::pair<qint64, qint64>> progressSteps;
    int progressDepth = 0;
    int cancelProgressAtStep = -1;

    QStringList MessageTexts() const;
    void Clear();

    TAnswer MessageBox(const QString& text, TMsgKind kind, TButtons buttons) override;
    void Notice(const QString& title, const QString& text) override;
    bool ShellOpen(const QString& path) override;
    bool ShellExplore(const QString& folder) override;
    void ShowFileProperties(const QString& path) override;
    std::optional<QString> RequestEntryPassword(int code, const QString& title) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& value) override;
    QString PickFolder(const QString& caption, const QString& start) override;
    QString PickOpenFile(const QString& caption, const QString& start, const QString& filter) override;
    QString PickSaveFile(const QString& caption, const QString& start, const QString& filter) override;
    void BeginWait() override;
    void EndWait() override;
    void BeginProgress(const QString& text, bool cancellable) override;
    bool StepProgress(qint64 done, qint64 total) override;
    void EndProgress() override;

private:
    std::deque<TAnswer> m_answers;
    std::deque<std::optional<QString>> m_passwords;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<QString> m_picks;
};
