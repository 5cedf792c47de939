#include "station/rotator/line_reader.h"

#include <charconv>
#include <cmath>

namespace orva::station {

void LineReader::feed(std::span<const std::uint8_t> bytes, const std::function<void(std::string_view)>& on_line)
{
    feed(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), on_line);
}

void LineReader::feed(std::string_view text, const std::function<void(std::string_view)>& on_line)
{
    for (char c : text) {
        if (terminators_.find(c) != std::string::npos) {
            if (!dropping_)
                on_line(line_);
            line_.clear();
            dropping_ = false;
            continue;
        }
        if (dropping_)
            continue;
        line_.push_back(c);
        if (line_.size() >= limit_) {
            line_.clear();
            dropping_ = true;
        }
    }
}

void LineReader::clear()
{
    line_.clear();
    dropping_ = false;
}

bool parse_number(std::string_view text, double& out)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '+'))
        text.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end == text.data() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

} // namespace orva::station
