#include "engine/log/efficiency_meter.h"

namespace orva::engine {

EfficiencyMeter::Reading EfficiencyMeter::on_status_line(std::uint64_t sat, std::uint64_t station) {
    Reading r;
    // A counter that went backwards (the satellite restarted) starts a new baseline.
    if (!have_ || sat < last_sat_ || station < last_station_) {
        r.baseline = !have_;
        have_ = true;
        first_sat_ = last_sat_ = sat;
        first_station_ = last_station_ = station;
        return r;
    }
    if (sat != last_sat_) {
        const std::uint64_t figure = (station - last_station_) * 100 / (sat - last_sat_);
        if (figure <= 100) r.shown = unsigned(figure);
    }
    last_sat_ = sat;
    last_station_ = station;
    return r;
}

std::optional<unsigned> EfficiencyMeter::pass_figure() const {
    if (!have_) return std::nullopt;
    const std::uint64_t station = last_station_ - first_station_;
    if (station == 0) return 0u;
    const std::uint64_t sat = last_sat_ - first_sat_;
    if (sat == 0) return std::nullopt;
    const std::uint64_t figure = station * 100 / sat;
    return unsigned(figure > 999 ? 999 : figure);
}

} // namespace orva::engine
