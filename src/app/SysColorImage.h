// Pictures with the dialog face colour as background (see RecolourPixels).
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>

// Recolours the background (the top-left pixel's colour) of an image; the
// image is taken as 24-bit pixels.
QImage RecolourImage(const QImage& image, const QColor& colour);
// Loads a picture from the resources and recolours it; a null pixmap when
// the resource cannot be loaded.
QPixmap LoadSysColorBitmap(const QString& resource, const QColor& colour);
