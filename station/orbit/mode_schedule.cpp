#include "station/orbit/mode_schedule.h"

#include <cctype>
#include <cmath>

namespace orva::station {

namespace {
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The integer read from the start of the three characters, as atoi would read it.
int leading_integer(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int v = 0;
    while (i < s.size() && is_digit(s[i]))
        v = v * 10 + (s[i++] - '0');
    return negative ? -v : v;
}
} // namespace

std::vector<ModeEntry> parse_mode_schedule(std::string_view text)
{
    std::vector<ModeEntry> out;
    std::size_t at = 0;
    while (text.size() - at >= 3) {
        ModeEntry e;
        e.threshold = leading_integer(text.substr(at, 3));
        at += 3;
        std::size_t end = at;
        while (end < text.size() && !is_digit(text[end]))
            ++end;
        e.name = std::string(text.substr(at, std::min<std::size_t>(end - at, 5)));
        e.name.resize(5, ' ');
        out.push_back(std::move(e));
        at = end;
    }
    return out;
}

std::string mode_for_ma(const std::vector<ModeEntry>& schedule, double ma)
{
    std::string mode(5, ' ');
    double whole = std::floor(ma);
    for (const auto& e : schedule) {
        if (whole < e.threshold)
            break;
        mode = e.name;
    }
    return mode;
}

} // namespace orva::station
