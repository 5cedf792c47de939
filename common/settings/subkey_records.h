// Records kept one per subkey: transverters, toolbar programs and scheduled events.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/store/store.h"

namespace orva::settings {

struct TransverterRecord {
    std::string name, program;
    double start_freq = 0, finish_freq = 0, tx_if = 0, rx_if = 0; // MHz
    std::uint32_t rx = 0, tx = 0; // used for reception / transmission
};

struct ToolbarProgram {
    std::string name, directory, file_name;
    std::uint32_t toolbar = 0;
    std::uint32_t run = 2; // window state, as a satellite's "Run"
};

struct EventRecord {
    std::string name, program, directory, satellite;
    std::uint32_t display = 0, associate = 0, time = 0, run = 0, active = 0, minimise = 0;
    std::uint32_t last_run_time = 0, last_success_time = 0, last_return = 0;
};

// Each list holds (key path, record) in creation order, up to the enumeration limit.
std::vector<std::pair<std::string, TransverterRecord>> read_transverters(const platform::Store& store);
std::vector<std::pair<std::string, ToolbarProgram>> read_toolbar_programs(const platform::Store& store);
std::vector<std::pair<std::string, EventRecord>> read_events(const platform::Store& store);

// Transverter keys are named by their "Name".
Status write_transverter(platform::Store& store, const TransverterRecord& t);
Status write_toolbar_program(platform::Store& store, const std::string& key_path, const ToolbarProgram& p);
// A new toolbar program key "<Programs key>\Program <n>" with n = "Programs" + 1, counted up.
Result<std::string> create_toolbar_program_key(platform::Store& store);
Status write_event(platform::Store& store, const std::string& key_path, const EventRecord& e);
// What the station writes after each run of an event.
Status write_event_result(platform::Store& store, const std::string& key_path, std::uint32_t run_time,
    std::uint32_t success_time, std::uint32_t last_return);

} // namespace orva::settings
