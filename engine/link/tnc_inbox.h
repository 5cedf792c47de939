// What a TNC port's threads hand to the thread that runs the session, in the order it happened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orva::engine {

struct TncInbox {
    struct Item {
        std::vector<std::uint8_t> bytes; // empty: `overruns` chunks were lost here
        std::uint32_t overruns = 0;
    };
    std::vector<Item> items;
    std::vector<std::string> write_errors;
    std::optional<std::string> lost; // the port failed; nothing more will arrive
};

} // namespace orva::engine
