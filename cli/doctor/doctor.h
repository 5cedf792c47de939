// orva doctor: checks a station's setup and says what to fix, one line per check.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/store/store.h"

namespace orva::tools {

enum class CheckState { Ok, Fault, NotConfigured };

struct CheckLine {
    std::string name;    // what was checked: "suite directory", "serial port COM1 (AO-16)"...
    CheckState state = CheckState::Ok;
    std::string detail;  // what was found and, for a fault, what to do about it
};

struct DoctorOptions {
    std::chrono::system_clock::time_point now;          // element-set ages are measured from here
    std::chrono::milliseconds connect_timeout{1500};    // per TCP address
    int max_element_age_days = 30;
    std::string dbus_address;                           // $DBUS_SESSION_BUS_ADDRESS; empty: none
};

std::vector<CheckLine> run_doctor(const platform::Store& store, const DoctorOptions& options);

bool all_well(const std::vector<CheckLine>& lines);
std::string format_text(const std::vector<CheckLine>& lines);
std::string format_json(const std::vector<CheckLine>& lines);

// Connects to "host:port" (IPv4 literal or name) within the timeout; an error tells why not.
Status tcp_answers(const std::string& address, std::chrono::milliseconds timeout);

} // namespace orva::tools
