// A line for the engine's status list with its colour.
#pragma once

#include "engine/link/status_line.h"

#include <string>

namespace orva::engine {

struct StatusPost {
    std::string text;
    LineColour colour = LineColour::Black;
    bool operator==(const StatusPost&) const = default;
};

} // namespace orva::engine
