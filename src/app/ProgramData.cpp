#include "app/ProgramData.h"

#include <QCoreApplication>
#include <QDir>

QString ProgramDataFolder()
{
    const QDir executable(QCoreApplication::applicationDirPath());
    if (executable.exists(QStringLiteral("AppResources.rcc")))
        return executable.path();
#ifdef TESSARYN_DATA_FROM_BIN
    const QString installed = QDir::cleanPath(executable.filePath(QStringLiteral(TESSARYN_DATA_FROM_BIN)));
    if (QDir(installed).exists(QStringLiteral("AppResources.rcc")))
        return installed;
#endif
    return executable.path();
}
