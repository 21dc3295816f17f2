#include "RecordingDesktop.h"

QStringList RecordingDesktop::MessageTexts() const
{
    QStringList texts;
    for (const auto& m : messages)
        texts << m.text;
    return texts;
}

void RecordingDesktop::Clear()
{
    messages.clear();
    notices.clear();
    opened.clear();
    explored.clear();
    properties.clear();
    passwordRequests.clear();
    progressTexts.clear();
    progressSteps.clear();
}

IDesktop::TAnswer RecordingDesktop::MessageBox(const QString& text, TMsgKind kind, TButtons buttons)
{
    messages.append({text, kind, buttons});
    if (!m_answers.empty()) {
        const TAnswer a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    return buttons == TButtons::Ok || buttons == TButtons::OkCancel ? TAnswer::Ok : TAnswer::Yes;
}

void RecordingDesktop::Notice(const QString& title, const QString& text)
{
    notices << title + QLatin1Char('|') + text;
}

bool RecordingDesktop::ShellOpen(const QString& path)
{
    opened << path;
    return shellOpenSucceeds;
}

bool RecordingDesktop::ShellExplore(const QString& folder)
{
    explored << folder;
    return shellExploreSucceeds;
}

void RecordingDesktop::ShowFileProperties(const QString& path)
{
    properties << path;
}

std::optional<QString> RecordingDesktop::RequestEntryPassword(int code, const QString&)
{
    passwordRequests << code;
    if (m_passwords.empty())
        return std::nullopt;
    auto p = m_passwords.front();
    m_passwords.pop_front();
    return p;
}

std::optional<QString> RecordingDesktop::InputQuery(const QString&, const QString&, const QString& value)
{
    if (m_inputs.empty())
        return value;
    auto p = m_inputs.front();
    m_inputs.pop_front();
    return p;
}

static QString TakePick(std::deque<QString>& picks)
{
    if (picks.empty())
        return {};
    QString p = picks.front();
    picks.pop_front();
    return p;
}

QString RecordingDesktop::PickFolder(const QString&, const QString&) { return TakePick(m_picks); }
QString RecordingDesktop::PickOpenFile(const QString&, const QString&, const QString&) { return TakePick(m_picks); }
QString RecordingDesktop::PickSaveFile(const QString&, const QString&, const QString&) { return TakePick(m_picks); }

void RecordingDesktop::BeginWait()
{
    ++waitDepth;
    maxWaitDepth = std::max(maxWaitDepth, waitDepth);
}

void RecordingDesktop::EndWait()
{
    --waitDepth;
}

void RecordingDesktop::BeginProgress(const QString& text, bool cancellable)
{
    ++progressDepth;
    progressTexts.append(text + (cancellable ? QStringLiteral(" [cancellable]") : QString()));
}

bool RecordingDesktop::StepProgress(qint64 done, qint64 total)
{
    progressSteps.append({done, total});
    return cancelProgressAtStep < 0 || progressSteps.size() <= cancelProgressAtStep;
}

void RecordingDesktop::EndProgress()
{
    --progressDepth;
}
