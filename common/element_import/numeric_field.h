// Strict number fields: blanks around, optional sign, digits with an optional point. Anything
// else is refused rather than read as 0, so a damaged set never overwrites a good one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orva::station::detail {

std::optional<double> parse_decimal(std::string_view field);
std::optional<std::int64_t> parse_integer(std::string_view field);
// An all-blank field reads as 0 (optional fields such as the element set number).
std::optional<std::int64_t> parse_integer_or_blank(std::string_view field);

} // namespace orva::station::detail
