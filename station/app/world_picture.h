// The world picture behind the map: 520 x 260, equirectangular, drawn for origin 0 (its left
// edge a little east of 170 W), taken from the Earth image of Debian's xplanet-images package
// (NASA Visible Earth) and drawn plainly when that is not installed.
#pragma once

#include <QImage>
#include <QString>

namespace orva::station::map {

inline constexpr const char* kEarthImage = "/usr/share/xplanet/images/earth.jpg";

// The picture from an equirectangular image whose left edge is 180 degrees (west or east);
// a null image when it cannot be read.
QImage world_picture_from(const QString& path);
// A plain ocean-and-grid picture of the same geometry.
QImage plain_world_picture();
// The packaged image when it is there, the plain picture otherwise.
QImage world_picture();

// The picture as drawn for an origin: rotated right by that origin's columns.
QImage rotated_picture(const QImage& picture, int origin);

} // namespace orva::station::map
