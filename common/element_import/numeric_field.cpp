#include "common/element_import/numeric_field.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace orva::station::detail {

namespace {
std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool well_formed(std::string_view s, bool allow_point)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            digits = true;
        else if (s[i] == '.' && allow_point && !point)
            point = true;
        else
            return false;
    }
    return digits;
}
} // namespace

std::optional<double> parse_decimal(std::string_view field)
{
    std::string_view s = trim(field);
    if (s.size() > 40 || !well_formed(s, true))
        return std::nullopt;
    double v = std::strtod(std::string(s).c_str(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::int64_t> parse_integer(std::string_view field)
{
    std::string_view s = trim(field);
    if (s.size() > 18 || !well_formed(s, false))
        return std::nullopt;
    return std::strtoll(std::string(s).c_str(), nullptr, 10);
}

std::optional<std::int64_t> parse_integer_or_blank(std::string_view field)
{
    if (trim(field).empty())
        return 0;
    return parse_integer(field);
}

} // namespace orva::station::detail
