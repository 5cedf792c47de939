// Typed records of the fixed keys, each with the defaults its readers take when a value is
// missing and the clamps they apply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/settings/field_table.h"
#include "common/settings/program.h"
#include "platform/store/store.h"

namespace orva::settings {

inline constexpr std::uint32_t default_window_position = 0x80000000u;

struct GeneralSettings {
    std::string orva_directory;
    std::uint32_t error_sound = 0, prepass_sound = 0, new_mail_sound = 0, new_dl_sound = 0, track_aos_sound = 0;
    std::uint32_t sound_type = 1; // 1 "No sounds", 2 "Beeps only", 3 "WAV sounds"
    std::string error_wav, prepass_wav, new_mail_wav, new_dl_wav, track_aos_wav;
    std::uint32_t prepass_sat_wav = 0;
};

struct StationSettings {
    std::string callsign;
    double longitude = 0; // degrees, west positive
    double latitude = 0;  // degrees, north positive
    double altitude = 0;  // metres
    std::uint32_t limit_hours = 0, start_hour = 0, stop_hour = 0;
    std::uint32_t listen_hours = 0, listen_start = 0, listen_stop = 0;
    std::uint32_t use_horizon = 0, display_horizon = 0;
    HorizonProfile horizon{};
    std::optional<std::string> control_name;
};

struct RotatorSettings {
    std::uint32_t rotator_type = 0, port = 1, speed = 9600, stop_position = 1, flip = 0;
    std::uint32_t pacing_delay = 0; // ms, at most 50
    std::uint32_t park = 0, park_az = 0, park_el = 0, park_delay = 60;
    bool operator==(const RotatorSettings&) const = default;
};

struct HelmoSettings {
    std::string tracking;
    std::uint32_t rotor_display = 1, display_time = 1, pop_up_time = 180, pass_end_time = 10, pass_wait_time = 10;
    std::uint32_t schedule_days = 1, message_pop_ups = 1, map_display = 1;
    std::uint32_t map_terminator_norm = 1, map_terminator_fast = 1, map_groundtrack_norm = 1, map_groundtrack_fast = 1;
    std::uint32_t map_circle_norm = 1, map_circle_fast = 1, map_scroll_norm = 1, map_scroll_fast = 1;
    std::uint32_t map_origin = 0, map_speed = 100;
    std::uint32_t map_x_left = default_window_position, map_y_top = default_window_position;
    std::string map_sat;
    std::uint32_t x_left = default_window_position, y_top = default_window_position, cx_width = 580, cy_height = 270;
    std::uint32_t font_size = 12, font_type = 400;
    std::uint8_t font_pitch = 1;
    std::string font_name = "Terminal";
    std::uint32_t map_font_size = 12, map_font_type = 400;
    std::uint8_t map_font_pitch = 1;
    std::string map_font_name = "Terminal";
    std::uint32_t keps_type = 1;
    std::string keps_dir;
    std::uint32_t programs = 0;
    std::uint32_t fh_keep_pfh_files = 10, fh_oldest_files = 10, fh_oldest_messages = 10;
    std::uint32_t fh_delete_dlx = 0, fh_delete_msg = 0, fh_delete_ul = 0, fh_delete_act = 0, fh_delete_mymsg = 0;
    std::uint32_t fh_pfh_action = 0;
};

struct QuilletSettings {
    std::string signature, greeting = "Hello", editor = "NOTEPAD.EXE", source_save_directory;
    std::uint32_t message_expiry_days = 2, compression_threshold = 1008;
    std::uint32_t compression_type = 2; // 0 "None", 2 "PKZIP", 3 "LHArc"; 1 reads as 0
    std::uint32_t remove_source = 0, copy_original = 0;
};

struct DispoSettings { // Dispo's own defaults; dispo_page_defaults() gives the option page's
    std::uint32_t add_header = 1, view_mine = 0, process_keps = 0, decompress_binaries = 0;
    std::uint32_t process_bbs = 0, process_logs = 0, keps_append = 0;
    std::uint32_t update_keps = 0; // 1 ORBSxxxA.ELE only, 2 any keps file, 3 never
    std::string update_callsign, update_spacecraft;
};

struct TesselSettings { // Tessel's own defaults; tessel_page_defaults() gives Helmo's page's
    std::uint32_t load_bbs = 0, mark_never = 0, confirm_delete = 1, maximum_pfh_files = 10, maximum_messages = 999;
    std::uint32_t strings_on_toolbar = 0;
    std::uint32_t x_left = 10, y_top = 57, cx_width = 580, cy_height = 288, reopen = 0;
    std::uint32_t font_size = 12, font_type = 400;
    std::uint8_t font_pitch = 1;
    std::string font_name = "Terminal";
};

struct BrekSettings {
    std::uint32_t maximise_upload = 1;
    std::uint32_t switching = 1; // 0 "Automatic", 1 "Manual", 2 "Ask First"
    std::uint32_t upload_x_left = 10, upload_y_top = 10, fill_x_left = 10, fill_y_top = 10;
    std::uint32_t info_x_left = 10, info_y_top = 10, freq_x_left = 10, freq_y_top = 10;
    std::uint32_t x_left = 10, y_top = 57, cx_width = 580, cy_height = 288, reopen = 0;
    std::uint32_t font_size = 12, font_type = 400;
    std::uint8_t font_pitch = 1;
    std::string font_name = "Terminal";
};

struct PixoraSettings {
    std::string kep_directory, obs_directory, images_directory, initialised;
};

GeneralSettings read_general(const platform::Store& store, Program reader);
StationSettings read_station(const platform::Store& store, Program reader);
RotatorSettings read_rotator(const platform::Store& store);
// "Rotor Display" depends on the rotator type, so Helmo's record is read with it.
HelmoSettings read_helmo(const platform::Store& store);
QuilletSettings read_quillet(const platform::Store& store);
DispoSettings read_dispo(const platform::Store& store);
DispoSettings dispo_page_defaults();
TesselSettings read_tessel(const platform::Store& store);
TesselSettings tessel_page_defaults();
BrekSettings read_brek(const platform::Store& store);
PixoraSettings read_pixora(const platform::Store& store);
// The platform's short date pattern ("dd/MM/yy"), when the store has one.
std::optional<std::string> read_short_date(const platform::Store& store);

Status write_general(platform::Store& store, const GeneralSettings& s);
Status write_station(platform::Store& store, const StationSettings& s);
Status write_rotator(platform::Store& store, const RotatorSettings& s);
Status write_helmo(platform::Store& store, const HelmoSettings& s);
Status write_quillet(platform::Store& store, const QuilletSettings& s);
Status write_dispo(platform::Store& store, const DispoSettings& s);
Status write_tessel(platform::Store& store, const TesselSettings& s);
Status write_brek(platform::Store& store, const BrekSettings& s);
Status write_pixora(platform::Store& store, const PixoraSettings& s);

// Writes one named value of a fixed key's record (a window position, a font), leaving the rest.
template <class R>
Status write_one(platform::Store& store, std::string_view key, std::span<const Field<R>> table, const R& record,
    std::string_view name)
{
    const Field<R>* f = find_field(table, name);
    if (!f)
        return make_error("no value \"" + std::string(name) + "\" in " + std::string(key));
    return write_field(store, key, *f, record);
}

std::span<const Field<GeneralSettings>> general_fields();
std::span<const Field<StationSettings>> station_fields();
std::span<const Field<RotatorSettings>> rotator_fields();
std::span<const Field<HelmoSettings>> helmo_fields();
std::span<const Field<QuilletSettings>> quillet_fields();
std::span<const Field<DispoSettings>> dispo_fields();
std::span<const Field<TesselSettings>> tessel_fields();
std::span<const Field<BrekSettings>> brek_fields();

} // namespace orva::settings
