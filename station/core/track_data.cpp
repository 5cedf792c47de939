#include "station/core/track_data.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace orva::station {

namespace {
void put(std::array<std::uint8_t, kTrackDataSize>& b, std::size_t at, std::uint64_t v, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}
void put_double(std::array<std::uint8_t, kTrackDataSize>& b, std::size_t at, double v)
{
    put(b, at, std::bit_cast<std::uint64_t>(v), 8);
}
} // namespace

std::array<std::uint8_t, kTrackDataSize> encode_track_data(const TrackReport& r)
{
    std::array<std::uint8_t, kTrackDataSize> b{};
    std::memcpy(b.data(), r.name.data(), std::min<std::size_t>(r.name.size(), 13));
    put_double(b, 13, r.azimuth_deg);
    put_double(b, 21, r.elevation_deg);
    put_double(b, 29, r.uplink_hz);
    put_double(b, 37, r.downlink_hz);
    put_double(b, 45, r.doppler_factor);
    put(b, 53, r.uplink_mode, 2);
    put(b, 55, r.downlink_mode, 2);
    put_double(b, 57, r.downlink_offset_hz);
    put(b, 65, 0, 2);
    put(b, 67, std::uint16_t(r.mean_anomaly), 2);
    return b;
}

const char* radio_mode_name(std::uint16_t i)
{
    static const char* names[] = {"FM", "FM-W", "FM-N", "USB", "LSB", "CW", "CW-N"};
    return i < 7 ? names[i] : "";
}

std::string tracking_line(const TrackReport& r)
{
    char buf[256];
    std::string name = r.name.substr(0, 13);
    std::snprintf(buf, sizeof buf, "SN%s AZ%0.1f EL%0.1f UP%0.0f UM%s DN%0.0f DM%s MA%d\n", name.c_str(), r.azimuth_deg,
                  r.elevation_deg, r.uplink_hz, radio_mode_name(r.uplink_mode), r.downlink_hz,
                  radio_mode_name(r.downlink_mode), int(r.mean_anomaly));
    return buf;
}

bool TrackingServer::connect(std::uint64_t conversation, const std::string& topic)
{
    if (topic == "Tracking")
        tracking_ = conversation;
    return true;
}

void TrackingServer::disconnect(std::uint64_t conversation)
{
    if (tracking_ == conversation)
        tracking_.reset();
}

std::optional<std::vector<std::uint8_t>> TrackingServer::request(std::uint64_t conversation, const std::string& item,
                                                                 DataFormat format) const
{
    if (!tracking_ || *tracking_ != conversation || item != "General")
        return std::nullopt;
    if (format == DataFormat::TrackData)
        return std::vector<std::uint8_t>(record_.begin(), record_.end());
    if (format == DataFormat::Text) {
        std::vector<std::uint8_t> text(line_.begin(), line_.end());
        text.push_back(0);
        return text;
    }
    return std::nullopt;
}

bool TrackingServer::poke(std::uint64_t, const std::vector<std::uint8_t>& data) const
{
    return !data.empty() && data[0] != 0;
}

void TrackingServer::update(const std::optional<TrackReport>& report)
{
    if (!report) {
        line_ = kNoSatelliteLine;
        record_ = {};
        return;
    }
    line_ = tracking_line(*report);
    record_ = encode_track_data(*report);
}

} // namespace orva::station
