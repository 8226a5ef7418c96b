#include "qt/qt_bitmap.h"

#include <cstring>

#include "viewer/bitmap_depth.h"

namespace app {

QImage toQImage(const platform::Bitmap& bitmap)
{
    if (bitmap.empty())
        return QImage();
    const platform::Bitmap rgb = viewer::convertTo24Bit(bitmap);
    QImage image(rgb.width(), rgb.height(), QImage::Format_BGR888);
    if (image.isNull())
        return image;
    const std::size_t rowBytes = static_cast<std::size_t>(rgb.width()) * 3;
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(image.scanLine(y), rgb.topRow(y), rowBytes);
    return image;
}

platform::Bitmap fromQImage(const QImage& image)
{
    if (image.isNull())
        return platform::Bitmap();
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    platform::Bitmap bitmap(bgr.width(), bgr.height(), 24);
    const std::size_t rowBytes = static_cast<std::size_t>(bgr.width()) * 3;
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(bitmap.topRow(y), bgr.constScanLine(y), rowBytes);
    return bitmap;
}

}  // namespace app
