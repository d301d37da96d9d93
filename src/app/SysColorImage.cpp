#include "app/SysColorImage.h"

#include "util/SysColorBitmap.h"

QImage RecolourImage(const QImage& image, const QColor& colour) {
    if (image.isNull()) return {};
    QImage img = image.convertToFormat(QImage::Format_BGR888);
    RecolourPixels(img.bits(), int(img.bytesPerLine()), img.height(), 24,
                   RGBColour(colour.red(), colour.green(), colour.blue()));
    return img;
}

QPixmap LoadSysColorBitmap(const QString& resource, const QColor& colour) {
    QImage image(resource);
    if (image.isNull()) return {};
    return QPixmap::fromImage(RecolourImage(image, colour));
}
