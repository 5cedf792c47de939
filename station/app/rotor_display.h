// The rotor display of Helmo's main window: an azimuth dial and an elevation dial with their
// values beneath. It shows whatever position it is given: the computed one or the one the
// rotator reports, as the rotator control decides.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>

namespace orva::station::map {

class RotorDisplay : public QWidget {
    Q_OBJECT
public:
    explicit RotorDisplay(QWidget* parent = nullptr);

    // Degrees: azimuth from north through east, elevation above the horizon.
    void set_position(double azimuth_deg, double elevation_deg);
    double azimuth() const { return azimuth_; }
    double elevation() const { return elevation_; }
    QString azimuth_text() const;   // "Az %3.0f"
    QString elevation_text() const; // "El %3.0f"

    // Where the pointers end, in widget coordinates (for the drawing and its tests).
    QPointF azimuth_tip() const;
    QPointF elevation_tip() const;
    QPointF azimuth_centre() const;
    QPointF elevation_centre() const;

    QSize sizeHint() const override { return {220, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius() const;
    double azimuth_ = 0, elevation_ = 0;
};

} // namespace orva::station::map
