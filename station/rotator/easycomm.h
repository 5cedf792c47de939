// EasyComm I and II controllers: position and frequency lines every tick, and the reply
// reader that picks the controller's reported azimuth and elevation out of its output.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "station/rotator/aim.h"
#include "station/rotator/line_reader.h"
#include "station/rotator/rotator_models.h"

namespace orva::station::easycomm {

std::string start_two(const StartContext& start); // "SN%s\n"
std::string tick_one(LastSent& last, const Aim& aim);
std::string tick_two(LastSent& last, const Aim& aim);
std::string stop_two(); // "LO SN ", 6 bytes

// Tokens "AZnnn" and "ELnnn" in the controller's replies; lines of 255 bytes are dropped.
class ReplyReader {
public:
    struct Position {
        std::optional<double> azimuth, elevation;
    };
    // Called once per token that changed the displayed position.
    explicit ReplyReader(std::function<void(const Position&)> on_position) : on_position_(std::move(on_position)) {}
    void feed(std::span<const std::uint8_t> bytes);
    const Position& position() const { return position_; }

private:
    void token(std::string_view text);
    std::function<void(const Position&)> on_position_;
    Position position_;
    std::string line_;
};

} // namespace orva::station::easycomm
