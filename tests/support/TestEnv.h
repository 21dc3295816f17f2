#pragma once

#include <QString>
#include <functional>

// Every test program runs with its own temporary TESSARYN_HOME,
// XDG_CONFIG_HOME and XDG_RUNTIME_DIR, set up by the test main before the
// application object exists.
namespace TestEnv {

void Initialize();
QString HomeFolder();     // TESSARYN_HOME, ends with "/"
QString ScratchFolder();  // a fresh empty folder for one test, removed at exit

// Polls until the condition holds or the time is up, processing events.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs a program and returns its exit code (-1 when it could not start);
// output is appended to `output` when given.
int Run(const QString& program, const QStringList& arguments, QString* output = nullptr,
        const QString& workingFolder = {}, int timeoutMs = 60000);

// A small tmpfs mounted on a folder for the life of the object: a disk that
// fills, or a medium made read-only. Mounted() is false where this machine
// does not allow mounting; the tests then skip.
class TScopedTmpfs {
public:
    TScopedTmpfs(const QString& folder, const QString& size);
    ~TScopedTmpfs();
    TScopedTmpfs(const TScopedTmpfs&) = delete;
    TScopedTmpfs& operator=(const TScopedTmpfs&) = delete;
    bool Mounted() const { return m_mounted; }
    bool RemountReadOnly();

private:
    QString m_folder;
    bool m_mounted = false;
};

} // namespace TestEnv
