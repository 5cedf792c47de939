// The documents the web view serves, built from plain snapshots of the station: the live state
// (clock, tracking table, schedule, running pass), the map's shapes, a satellite's directory and
// its filed messages. No Qt, no sockets: the host takes the snapshots, this writes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dirview/directory_entry.h"
#include "station/core/tracking_list.h"
#include "station/map/map_view.h"
#include "station/schedule/dispatcher.h"
#include "station/schedule/pass_entry.h"

namespace orva::station::web {

struct LiveSnapshot {
    std::int64_t now = 0;
    std::string clock, date; // as the window shows them ("12:00:00 UTC", " 9 Dec 2026")
    std::string callsign;
    double latitude_deg = 0, longitude_west_deg = 0;
    bool scheduling = true;
    std::string status;                  // "AO-16 00:12:34 AOS"; empty when scheduling is off
    std::vector<TrackingValues> tracking;
    std::vector<PassEntry> schedule;     // every entry; those whose LOS has passed are left out
    RunningPass running;
    std::int64_t next_wake = 0;
};
std::string live_json(const LiveSnapshot& snapshot);

// A satellite beside the map's subject: its marker and visibility circle.
struct MapSatellite {
    std::string name;
    map::Pixel marker;
    std::vector<map::Polyline> circle;
    bool in_view = false;
};

struct MapSnapshot {
    int origin = 0;
    std::string subject;  // the satellite with ground track; empty for none
    std::string panel;    // the map window's text panel, line by line
    map::MapShapes shapes;
    std::vector<MapSatellite> others;
    std::int64_t time = 0;
};
std::string map_json(const MapSnapshot& snapshot);

struct DirectoryRow {
    dirview::DirectoryEntry entry;
    std::uint8_t status_byte = 4;
    bool has_file = false;  // the file as filed is on disk
};
std::string directory_json(std::string_view satellite, const std::vector<DirectoryRow>& rows, std::size_t total);

// A message as Dispo filed it: "From:", "To:", "Subject:" lines above a line of dashes.
struct MessageHeader {
    std::string from, to, subject, keywords;
};
MessageHeader parse_message_header(std::string_view text);

struct MessageFile {
    std::uint32_t file_number = 0;
    bool mine = false; // in "My Message Directory"
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    MessageHeader header;
};
std::string messages_json(std::string_view satellite, const std::vector<MessageFile>& files);
std::string message_json(std::string_view satellite, std::uint32_t file_number, std::string_view bytes, bool cut);

std::string error_json(std::string_view message);

// "1A2B" (no padding, upper case).
std::string file_number_text(std::uint32_t n);

} // namespace orva::station::web
