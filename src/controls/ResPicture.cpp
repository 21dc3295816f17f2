#include "controls/ResPicture.h"

#include "app/AppResources.h"
#include "controls/GradientFill.h"

#include <QBitmap>
#include <QImage>

bool TResPicture::IsIconName(const QString& resourceId)
{
    return resourceId.left(3).compare(QLatin1String("ICO"), Qt::CaseInsensitive) == 0;
}

QPixmap TResPicture::Load(const QString& resourceId)
{
    if (resourceId.isEmpty())
        return QPixmap();
    QPixmap picture = TAppResources::Picture(resourceId);
    // Bitmaps under names of other forms are drawn transparently all the same.
    if (!picture.isNull() && !IsIconName(resourceId) && !resourceId.startsWith(QLatin1String("BMP_")))
        picture.setMask(picture.createMaskFromColor(TAppResources::TransparentColor(), Qt::MaskInColor));
    return picture;
}

int TResPicture::GreyOf(int luminance)
{
    if (luminance < 92)
        return 128;
    return std::min(luminance, 228);
}

QPixmap TResPicture::Greyed(const QPixmap& picture)
{
    if (picture.isNull())
        return picture;
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            if (qAlpha(pixel) == 0)
                continue;
            const int grey = GreyOf(Luminance(QColor(pixel)));
            line[x] = qRgba(grey, grey, grey, qAlpha(pixel));
        }
    }
    return QPixmap::fromImage(image);
}
