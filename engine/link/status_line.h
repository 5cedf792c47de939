// Lines for the engine's status list, with the colour the operator sees them in.
#pragma once

#include <string>

namespace orva::engine {

enum class LineColour : unsigned char { Black, Red, Blue, DarkRed, Green };

class StatusSink {
public:
    virtual ~StatusSink() = default;
    // May be called from the receive thread.
    virtual void post(std::string text, LineColour colour) = 0;
};

} // namespace orva::engine
