#include "db/SystemRegistry.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const kGroup = "SOFTWARE/MorvikSoftware/Tessaryn";

QSettings Store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MorvikSoftware"),
                     QStringLiteral("Tessaryn"));
}

} // namespace

namespace SystemRegistry {

bool DatabaseInitialized()
{
    QSettings s = Store();
    if (s.status() != QSettings::NoError)
        return false;
    s.beginGroup(QString::fromLatin1(kGroup));
    const QVariant v = s.value(QStringLiteral("Database initialized"));
    // The flag is a 32-bit integer read as a boolean: anything that is not a
    // number (or is missing) counts as false.
    bool ok = false;
    const int n = v.toString().toInt(&ok);
    return ok && n != 0;
}

void SetDatabaseInitialized(bool initialized)
{
    QSettings s = Store();
    s.beginGroup(QString::fromLatin1(kGroup));
    s.setValue(QStringLiteral("Database initialized"), initialized ? 1 : 0);
    s.sync();
}

TConnectionInfo RecordedConnection()
{
    QSettings s = Store();
    s.beginGroup(QString::fromLatin1(kGroup));
    const QString engine = s.value(QStringLiteral("Database engine")).toString();
    if (engine.compare(QStringLiteral("postgresql"), Qt::CaseInsensitive) == 0)
        return TConnectionInfo::Server(s.value(QStringLiteral("Database connection")).toString());
    const QString path = s.value(QStringLiteral("Database file")).toString();
    return TConnectionInfo::Embedded(path.isEmpty() ? DefaultDatabasePath() : path);
}

void RecordConnection(const TConnectionInfo& info)
{
    QSettings s = Store();
    s.beginGroup(QString::fromLatin1(kGroup));
    if (info.engine == TConnectionInfo::TEngine::PostgreSQL) {
        s.setValue(QStringLiteral("Database engine"), QStringLiteral("postgresql"));
        s.setValue(QStringLiteral("Database connection"), info.connInfo);
        s.remove(QStringLiteral("Database file"));
    } else {
        s.setValue(QStringLiteral("Database engine"), QStringLiteral("sqlite"));
        s.setValue(QStringLiteral("Database file"), info.sqlitePath);
        s.remove(QStringLiteral("Database connection"));
    }
    s.sync();
}

QString DataFolder()
{
    QString folder = qEnvironmentVariable("TESSARYN_HOME");
    if (folder.isEmpty()) {
        folder = QDir::homePath() + QStringLiteral("/.local/share/MorvikSoftware/Tessaryn");
        const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
        if (!xdg.isEmpty())
            folder = xdg + QStringLiteral("/MorvikSoftware/Tessaryn");
    }
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString DefaultDatabasePath()
{
    return DataFolder() + QStringLiteral("tessaryn.db");
}

} // namespace SystemRegistry
