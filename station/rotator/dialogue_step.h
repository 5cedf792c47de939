// What a controller dialogue asks its host to do after one line of the controller's output.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orva::station {

struct DialogueStep {
    std::chrono::milliseconds pause_before_send{0};
    std::string send;
    bool stop_tracking = false;
    bool close_port = false;   // ends the dialogue too
    bool end_dialogue = false; // the dialogue is over but the port stays open
    bool kill_timeout = false;
    std::optional<std::string> error_text, error_caption;
    std::vector<std::string> satellite_names; // for the "Enable Rotator" list

    bool empty() const
    {
        return send.empty() && !stop_tracking && !close_port && !end_dialogue && !kill_timeout && !error_text &&
               satellite_names.empty();
    }
};

} // namespace orva::station
