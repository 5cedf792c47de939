// Splits a controller's output into lines. Controllers are outside devices: a line is bounded,
// and one that reaches the bound is dropped whole rather than acted on in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace orva::station {

class LineReader {
public:
    // `terminators` end a line (the terminator is not kept); a line that reaches `limit` bytes
    // without one is discarded, and so is the rest of it up to the next terminator.
    LineReader(std::string_view terminators, std::size_t limit) : terminators_(terminators), limit_(limit) {}

    // Calls on_line for every completed line, empty ones included.
    void feed(std::span<const std::uint8_t> bytes, const std::function<void(std::string_view)>& on_line);
    void feed(std::string_view text, const std::function<void(std::string_view)>& on_line);
    void clear();

private:
    std::string terminators_;
    std::size_t limit_;
    std::string line_;
    bool dropping_ = false;
};

// Parses a decimal number at the start of `text` ("123.4", "-2", " 7"), without locale or
// exceptions; none when there is no number or it is not finite.
bool parse_number(std::string_view text, double& out);

} // namespace orva::station
