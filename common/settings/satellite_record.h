// The satellite record: one subkey of "SOFTWARE\Orva\Satellites" per satellite, identified by its
// "Name" value, never by the key's own name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings/field_table.h"
#include "common/settings/program.h"
#include "platform/store/store.h"

namespace orva::settings {

enum class SatelliteType : std::uint32_t { PacSat = 0, Analogue = 1, Mailbox = 2 };

// Member initialisers are what the readers assume for a missing value (the engine's for the
// engine values, the station's for the scheduling values).
struct SatelliteRecord {
    std::string name, bbs_callsign, nup_callsign, bdcst_callsign, tlm_file;
    std::uint32_t satellite_type = 0;
    std::uint32_t state = 3; // 0 "Track and Display", 1 "Display", 2 "Disable"; missing: none of them
    std::uint32_t enable_satgate = 0;
    std::string program, directory;
    std::uint32_t pass_check_time = 0, min_elevation = 0, min_pass_time = 0;
    std::uint32_t priority = 100; // 1 to 100; anything else reads as 10
    std::uint32_t run = 2, start_time = 25, pass_checking = 0;
    std::string satellite_directory, message_directory, my_message_directory, image_directory, keps_directory,
        binary_directory, dlx_directory, unknown_directory, bbs_directory, log_directory;
    double uplink[4] = {0, 0, 0, 0};
    std::uint32_t default_uplink = 1;
    double downlink[4] = {0, 0, 0, 0};
    std::uint32_t default_downlink = 1;
    std::uint32_t downlink_mode = 0, uplink_mode = 0, uplinks = 2;
    double uplink_if = 0, downlink_if = 0;
    std::uint32_t tx_buffer = 4096, rx_buffer = 32768;
    std::uint32_t port = 1;
    std::uint32_t tnc_type = 1; // 1 "TNC-2" .. 8 "None"
    std::uint32_t tx_port = 0, speed = 19200, uplink_speed = 0, tx_tail = 50, tx_delay = 200;
    std::uint32_t retries = 12, max_frame = 2, retry_time = 2000, pac_length = 244;
    std::uint32_t test_smack = 0;
    std::string dsp_mode; // exactly 4 bytes on disk, no NUL
    std::uint32_t use_clock = 0, uploading = 1, auto_freq = 1, log_kiss = 0, log_telemetry = 0, grab_all = 1;
    std::uint32_t block_bbs = 1, dl_mine = 1, run_dispo = 1, auto_fill = 1, ack_receipt = 0, change_freq = 0;
    std::uint32_t open_tessel = 0, close_tessel = 1, bdcst_custom = 4, tail_action = 2, dir_priority = 5;
    std::uint32_t proc_threshold = 1500, update_keps = 1, new_pass_check = 0;
    std::uint32_t inactivity_timeout = 0, up_to_date_timeout = 0;
    std::string satgate_reject, satgate_callsign, satgate_collect;
    std::uint32_t satgate_priority = 10;
    // Values only the engine reads, added by hand.
    std::uint32_t catalogue = 0, bdcst_frame = 244, zero_start = 0, ignore_shut = 0, crc_close = 999999;
    std::uint32_t tx_request = 0, max_holes = 10;
    // Linux only: "host:port" of a KISS TNC on the network (a soundcard modem such as direwolf).
    // When set, the engine connects there instead of opening the serial "Port".
    std::string tnc_address;

    SatelliteType type() const { return static_cast<SatelliteType>(satellite_type); }
};

// The rows of the record in the order the station writes them.
std::span<const Field<SatelliteRecord>> satellite_fields();

// A new satellite as the setup gives it. `orva_directory` is the suite directory.
SatelliteRecord new_satellite(std::string_view name, SatelliteType type, std::string_view orva_directory);

// Reads the record of an existing key with every reader's default and clamp.
SatelliteRecord read_satellite_key(const platform::Store& store, std::string_view key_path);

enum class CaseRule { IgnoreCase, Exact };
// The case rule of each program: the mail processor compares exactly, the others ignore case.
CaseRule case_rule_of(Program program);

// The key path of the satellite whose "Name" matches, or none.
std::optional<std::string> find_satellite_key(const platform::Store& store, std::string_view name, CaseRule rule);
Result<SatelliteRecord> read_satellite(const platform::Store& store, std::string_view name, Program reader);
// The "Name" of every satellite key, in creation order.
std::vector<std::string> list_satellites(const platform::Store& store);

// Creates the key for a new satellite: the name itself, or the name with " [0]", " [1]"... when
// a key of that name is left over.
Result<std::string> create_satellite_key(platform::Store& store, std::string_view name);

struct WriteReport {
    std::vector<std::string> messages; // texts the operator must see, e.g. "Unable to create directory ..."
};
// Writes every value of the record, normalising (and creating) the directories of a PacSat.
Result<WriteReport> write_satellite(platform::Store& store, std::string_view key_path, SatelliteRecord record);
Status delete_satellite(platform::Store& store, std::string_view name);

// The setup page's conversion of an entered "Retry Time" in seconds (above 60 becomes 6).
std::uint32_t retry_time_from_page(std::uint32_t seconds);

// A directory value as the station stores it: trailing "/" removed except from the root.
std::string normalise_directory(std::string_view dir);
// Normalises, creates the directory when missing; a failure adds the operator's message.
std::string prepare_directory(std::string_view dir, std::vector<std::string>& messages);

} // namespace orva::settings
