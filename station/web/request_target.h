// The request target of an HTTP request as the web view reads it: the raw path split at "/" into
// segments, each percent-decoded on its own. Anything that could name another place on disk is
// refused here, before any route sees it: dot segments, empty segments, an encoded "/" or "\",
// NUL and other control bytes, over-long segments and targets. The query is kept apart, raw.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::station::web {

inline constexpr std::size_t kMaxTargetLength = 2048;
inline constexpr std::size_t kMaxSegmentLength = 64;
inline constexpr std::size_t kMaxSegments = 8;

// Why a target was refused; the reply is 400 for every one of them (414 for TooLong).
enum class TargetFault {
    NotOriginForm,  // does not begin with "/" (absolute-form, "*", empty)
    TooLong,        // the whole target
    BadEscape,      // "%" not followed by two hex digits
    EncodedSlash,   // "%2F" or "%5C" in a segment
    ControlByte,    // a byte below 0x20 or 0x7F, raw or decoded
    DotSegment,     // "." or ".." (raw or decoded)
    EmptySegment,   // "//" inside the path
    LongSegment,    // a decoded segment over kMaxSegmentLength
    TooManySegments,
};
const char* to_string(TargetFault fault);

struct RequestTarget {
    std::vector<std::string> segments; // decoded; "/" alone gives none; one trailing "/" is ignored
    std::string query;                 // after "?", raw
};

struct TargetResult {
    std::optional<RequestTarget> target;
    TargetFault fault = TargetFault::NotOriginForm; // when there is no target
};

TargetResult parse_target(std::string_view raw);

// "%41" -> "A"; with `plus_is_space` (form bodies) "+" -> " ". None on a bad escape.
std::optional<std::string> percent_decode(std::string_view text, bool plus_is_space);

// An "application/x-www-form-urlencoded" body: names to values (the first of a repeated name
// wins). None when the body is over `max_bytes`, has a bad escape or more than `max_fields`.
std::optional<std::map<std::string, std::string>> parse_form(std::string_view body, std::size_t max_bytes = 4096,
                                                             std::size_t max_fields = 16);

} // namespace orva::station::web
