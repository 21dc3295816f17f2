#include "app/AppResources.h"

#include "app/ProgramData.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QDir>
#include <QResource>

namespace {

bool g_registered = false;

} // namespace

QString TAppResources::DataFolder()
{
    return ProgramDataFolder();
}

QString TAppResources::ResourceFile()
{
    return DataFolder() + QStringLiteral("/AppResources.rcc");
}

bool TAppResources::Register()
{
    if (!g_registered)
        g_registered = QResource::registerResource(ResourceFile());
    return g_registered;
}

bool TAppResources::IsRegistered()
{
    return g_registered;
}

void TAppResources::Unregister()
{
    if (g_registered)
        QResource::unregisterResource(ResourceFile());
    g_registered = false;
}

QPixmap TAppResources::Picture(const QString& name)
{
    QPixmap picture;
    // The stored pictures carry no file suffix; their format is read from their content.
    if (name.isEmpty() || !picture.load(QStringLiteral(":/AppResources/") + name))
        return QPixmap();
    if (name.startsWith(QLatin1String("BMP_")))
        picture.setMask(picture.createMaskFromColor(TransparentColor(), Qt::MaskInColor));
    return picture;
}

QIcon TAppResources::Icon(const QString& name)
{
    const QPixmap picture = Picture(name);
    return picture.isNull() ? QIcon() : QIcon(picture);
}
