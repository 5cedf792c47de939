#include "station/app/rotor_display.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orva::station::map {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kArcStep = 0.15; // radians between the points of a dial's arc

// A dial's arc from `from` to `to` (radians, mathematical sense, y up) as a polyline.
QPolygonF arc(QPointF centre, double r, double from, double to)
{
    QPolygonF line;
    for (double a = from; a < to; a += kArcStep)
        line << QPointF(centre.x() + r * std::cos(a), centre.y() - r * std::sin(a));
    line << QPointF(centre.x() + r * std::cos(to), centre.y() - r * std::sin(to));
    return line;
}

} // namespace

RotorDisplay::RotorDisplay(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(160, 100);
}

void RotorDisplay::set_position(double azimuth_deg, double elevation_deg)
{
    if (azimuth_deg == azimuth_ && elevation_deg == elevation_)
        return;
    azimuth_ = azimuth_deg;
    elevation_ = elevation_deg;
    update();
}

QString RotorDisplay::azimuth_text() const { return QString::asprintf("Az %3.0f", azimuth_); }
QString RotorDisplay::elevation_text() const { return QString::asprintf("El %3.0f", elevation_); }

double RotorDisplay::radius() const
{
    const double text = fontMetrics().height() + 4;
    return std::max(10.0, std::min(width() / 4.0 - 6, (height() - text) / 2.0 - 4));
}

QPointF RotorDisplay::azimuth_centre() const { return {width() / 4.0, radius() + 4}; }
// The elevation dial is a quarter circle from the horizon (right) to the zenith (up).
QPointF RotorDisplay::elevation_centre() const { return {width() / 2.0 + 8, 2 * radius() + 4}; }

QPointF RotorDisplay::azimuth_tip() const
{
    // North up, east right.
    const double a = azimuth_ * kPi / 180.0;
    const QPointF c = azimuth_centre();
    const double r = radius() - 3;
    return {c.x() + r * std::sin(a), c.y() - r * std::cos(a)};
}

QPointF RotorDisplay::elevation_tip() const
{
    const double e = std::clamp(elevation_, -10.0, 180.0) * kPi / 180.0;
    const QPointF c = elevation_centre();
    const double r = 2 * radius() - 3;
    return {c.x() + r * std::cos(e), c.y() - r * std::sin(e)};
}

void RotorDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = radius();
    const QPointF ac = azimuth_centre(), ec = elevation_centre();

    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.drawPolyline(arc(ac, r, 0, 2 * kPi));
    p.drawPolyline(arc(ec, 2 * r, 0, kPi / 2));
    p.drawLine(ec, ec + QPointF(2 * r, 0));
    p.drawLine(ec, ec - QPointF(0, 2 * r));
    // Ticks every 30 degrees of azimuth and of elevation.
    for (int d = 0; d < 360; d += 30) {
        const double a = d * kPi / 180.0;
        p.drawLine(QPointF(ac.x() + (r - 4) * std::sin(a), ac.y() - (r - 4) * std::cos(a)),
                   QPointF(ac.x() + r * std::sin(a), ac.y() - r * std::cos(a)));
    }
    for (int d = 30; d < 90; d += 30) {
        const double a = d * kPi / 180.0;
        p.drawLine(QPointF(ec.x() + (2 * r - 4) * std::cos(a), ec.y() - (2 * r - 4) * std::sin(a)),
                   QPointF(ec.x() + 2 * r * std::cos(a), ec.y() - 2 * r * std::sin(a)));
    }

    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawLine(ac, azimuth_tip());
    p.drawLine(ec, elevation_tip());

    p.setPen(palette().color(QPalette::WindowText));
    const int base = int(std::max(ac.y() + r, ec.y())) + fontMetrics().ascent() + 2;
    const QString az = azimuth_text(), el = elevation_text();
    p.drawText(QPointF(ac.x() - fontMetrics().horizontalAdvance(az) / 2.0, base), az);
    p.drawText(QPointF(ec.x() + r - fontMetrics().horizontalAdvance(el) / 2.0, base), el);
}

} // namespace orva::station::map
