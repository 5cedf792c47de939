// The broadcast efficiency: how much of what the satellite says it broadcast this station heard,
// from the "B:" counter of its status lines and the station's good broadcast bytes.
#pragma once

#include <cstdint>
#include <optional>

namespace orva::engine {

class EfficiencyMeter {
public:
    struct Reading {
        bool baseline = false;          // first line of the pass: the session clock restarts
        std::optional<unsigned> shown;  // "%u%%" since the previous line, at most 100
    };

    Reading on_status_line(std::uint64_t satellite_counter, std::uint64_t station_bytes);

    // Over the whole pass; none when the satellite's counter did not move (nothing to divide by).
    std::optional<unsigned> pass_figure() const;
    std::uint64_t satellite_bytes() const { return have_ ? last_sat_ - first_sat_ : 0; }

private:
    bool have_ = false;
    std::uint64_t first_sat_ = 0, first_station_ = 0;
    std::uint64_t last_sat_ = 0, last_station_ = 0;
};

} // namespace orva::engine
