#include "station/rotator/easycomm.h"

#include <cstdio>

#include "station/core/track_data.h"

namespace orva::station::easycomm {

namespace {
std::string format(const char* fmt, auto... args)
{
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    return std::string(buf, std::size_t(n < 0 ? 0 : std::min<int>(n, int(sizeof buf) - 1)));
}
} // namespace

std::string start_two(const StartContext& start)
{
    return format("SN%s\n", start.name.c_str());
}

std::string tick_one(LastSent&, const Aim& a)
{
    std::string line = format("AZ%0.1f EL%0.1f", a.azimuth_deg, a.elevation_deg);
    if (a.uplink_hz)
        line += format(" UP%0.0f %s", *a.uplink_hz, radio_mode_name(a.uplink_mode));
    if (a.downlink_hz)
        line += format(" DN%0.0f %s", *a.downlink_hz, radio_mode_name(a.downlink_mode));
    return line + "\r\n";
}

std::string tick_two(LastSent&, const Aim& a)
{
    std::string out;
    if (a.risen)
        out = "AO ";
    out += format("AZ%0.1f EL%0.1f PH%0.1f\r\n", a.azimuth_deg, a.elevation_deg, a.mean_anomaly);
    std::string radio;
    if (a.uplink_hz)
        radio = format("UP%0.0f UM%s", *a.uplink_hz, radio_mode_name(a.uplink_mode));
    if (a.downlink_hz)
        radio += (radio.empty() ? "" : " ") + format("DN%0.0f DM%s", *a.downlink_hz, radio_mode_name(a.downlink_mode));
    if (!radio.empty())
        out += radio + "\r\n";
    return out;
}

std::string stop_two()
{
    return "LO SN ";
}

void ReplyReader::feed(std::span<const std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes) {
        char c = char(b);
        if (c == ' ' || c == '\n') {
            token(line_);
            line_.clear();
            continue;
        }
        line_.push_back(c);
        if (line_.size() >= 255)
            line_.clear();
    }
}

void ReplyReader::token(std::string_view t)
{
    while (!t.empty() && (t.front() == '\r'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == '\r'))
        t.remove_suffix(1);
    if (t.size() < 2)
        return;
    double v = 0;
    if (t.substr(0, 2) == "AZ" && parse_number(t.substr(2), v))
        position_.azimuth = v;
    else if (t.substr(0, 2) == "EL" && parse_number(t.substr(2), v))
        position_.elevation = v;
    else
        return;
    if (on_position_)
        on_position_(position_);
}

} // namespace orva::station::easycomm
