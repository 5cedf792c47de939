// What the "Helmo" data server gives its clients: the 69-byte "TrackData" record and the
// tracking line, and the server's conversation rules (sans-IO: the bus host calls these).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orva::station {

inline constexpr std::size_t kTrackDataSize = 69;
inline constexpr const char* kNoSatelliteLine = "** NO SATELLITE **\n";

struct TrackReport {
    std::string name; // at most 13 characters
    double azimuth_deg = 0, elevation_deg = 0;
    double uplink_hz = 0, downlink_hz = 0;
    double doppler_factor = 1; // 1 + range rate / 299792.5
    std::uint16_t uplink_mode = 0, downlink_mode = 0;
    double downlink_offset_hz = 0;
    std::int16_t mean_anomaly = 0;
};

std::array<std::uint8_t, kTrackDataSize> encode_track_data(const TrackReport& report);
// "SN%s AZ%0.1f EL%0.1f UP%0.0f UM%s DN%0.0f DM%s MA%d\n"
std::string tracking_line(const TrackReport& report);
const char* radio_mode_name(std::uint16_t index);

enum class DataFormat { Text, TrackData, Other };

class TrackingServer {
public:
    // Any topic is accepted; the "Tracking" conversation is remembered, one at a time.
    bool connect(std::uint64_t conversation, const std::string& topic);
    void disconnect(std::uint64_t conversation);
    // Data for item "General" on the remembered conversation; nothing otherwise.
    std::optional<std::vector<std::uint8_t>> request(std::uint64_t conversation, const std::string& item,
                                                     DataFormat format) const;
    // Acknowledged when the first byte is non-zero.
    bool poke(std::uint64_t conversation, const std::vector<std::uint8_t>& data) const;

    void update(const std::optional<TrackReport>& report);
    std::optional<std::uint64_t> tracking_conversation() const { return tracking_; }
    const std::string& line() const { return line_; }

private:
    std::optional<std::uint64_t> tracking_;
    std::string line_ = kNoSatelliteLine;
    std::array<std::uint8_t, kTrackDataSize> record_{};
};

} // namespace orva::station
