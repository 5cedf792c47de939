#include "station/app/world_picture.h"

#include "station/map/map_geometry.h"

#include <QPainter>

namespace orva::station::map {

QImage world_picture_from(const QString& path)
{
    QImage source(path);
    if (source.isNull())
        return {};
    const QImage scaled = source.convertToFormat(QImage::Format_RGB32)
                              .scaled(kMapWidth, kMapHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Column c of the scaled image shows longitude c / 520 * 360 - 180 east; the map's column x
    // shows (x + 17.5) / 1.444 - 180, so the map is the image turned left by 17 columns.
    const int shift = -origin_offset(0);
    QImage out(kMapWidth, kMapHeight, QImage::Format_RGB32);
    for (int y = 0; y < kMapHeight; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < kMapWidth; ++x)
            to[x] = from[(x + shift) % kMapWidth];
    }
    return out;
}

QImage plain_world_picture()
{
    QImage out(kMapWidth, kMapHeight, QImage::Format_RGB32);
    out.fill(QColor(16, 48, 96));
    QPainter p(&out);
    p.setPen(QColor(60, 90, 140));
    for (int lat = -60; lat <= 60; lat += 30) {
        const int y = map_pixel(lat, 0, 0).y;
        p.drawLine(0, y, kMapWidth, y);
    }
    for (int lon = -180; lon < 180; lon += 30) {
        const int x = map_pixel(0, lon, 0).x;
        p.drawLine(x, 0, x, kMapHeight);
    }
    return out;
}

QImage world_picture()
{
    QImage picture = world_picture_from(QString::fromLatin1(kEarthImage));
    return picture.isNull() ? plain_world_picture() : picture;
}

QImage rotated_picture(const QImage& picture, int origin)
{
    const int r = picture_rotation(origin);
    if (r == 0)
        return picture;
    QImage out(picture.size(), picture.format());
    QPainter p(&out);
    // Copied to x = r, and its rightmost r columns to x = 0.
    p.drawImage(r, 0, picture, 0, 0, kMapWidth - r, kMapHeight);
    p.drawImage(0, 0, picture, kMapWidth - r, 0, r, kMapHeight);
    return out;
}

} // namespace orva::station::map
