// The program's entry point. The windows come in a later release; until then
// the program checks that its database is initialized and reachable.
#include "db/SystemRegistry.h"
#include "db/dmConnection.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tessaryn"));

    if (!SystemRegistry::DatabaseInitialized()) {
        // Not initialized: start the initializer from our own folder and end;
        // it starts the program again once the database exists.
        qputenv("TESSARYN_STARTED_BY_APP", "1");
        QProcess::startDetached(QCoreApplication::applicationDirPath() + QStringLiteral("/TessarynDBInit"), {});
        return 0;
    }
    TdmConnection connection(SystemRegistry::RecordedConnection());
    if (!connection.Connect()) {
        std::fprintf(stderr, "Tessaryn database could not be started. Application must now terminate.\n");
        return 0;
    }
    std::fprintf(stdout, "Tessaryn: connected to %s (%d entries). The main window is not part of this build yet.\n",
                 qPrintable(connection.Info().Describe()), connection.CountEntries());
    return 0;
}
