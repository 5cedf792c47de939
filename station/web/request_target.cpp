#include "station/web/request_target.h"

namespace orva::station::web {

const char* to_string(TargetFault fault)
{
    switch (fault) {
    case TargetFault::NotOriginForm: return "the target is not a path";
    case TargetFault::TooLong: return "the target is too long";
    case TargetFault::BadEscape: return "a bad percent escape";
    case TargetFault::EncodedSlash: return "an encoded slash";
    case TargetFault::ControlByte: return "a control character";
    case TargetFault::DotSegment: return "a dot segment";
    case TargetFault::EmptySegment: return "an empty segment";
    case TargetFault::LongSegment: return "a name that is too long";
    case TargetFault::TooManySegments: return "too many segments";
    }
    return "a bad target";
}

namespace {

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

} // namespace

std::optional<std::string> percent_decode(std::string_view text, bool plus_is_space)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = hex_value(text[i + 1]), lo = hex_value(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += char(hi * 16 + lo);
            i += 2;
        } else if (c == '+' && plus_is_space) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

TargetResult parse_target(std::string_view raw)
{
    TargetResult r;
    if (raw.size() > kMaxTargetLength) {
        r.fault = TargetFault::TooLong;
        return r;
    }
    if (raw.empty() || raw.front() != '/') {
        r.fault = TargetFault::NotOriginForm;
        return r;
    }
    RequestTarget t;
    std::string_view path = raw;
    if (std::size_t q = raw.find('?'); q != std::string_view::npos) {
        path = raw.substr(0, q);
        t.query = std::string(raw.substr(q + 1));
    }
    // A fragment never reaches a server; one that does is not ours to read.
    if (path.find('#') != std::string_view::npos) {
        r.fault = TargetFault::NotOriginForm;
        return r;
    }
    for (char c : raw)
        if (is_control(static_cast<unsigned char>(c))) {
            r.fault = TargetFault::ControlByte;
            return r;
        }
    path.remove_prefix(1);
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty()) {
        r.target = std::move(t);
        return r;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view raw_segment = path.substr(start, end - start);
        start = end + 1;
        if (raw_segment.empty()) {
            r.fault = TargetFault::EmptySegment;
            return r;
        }
        if (t.segments.size() == kMaxSegments) {
            r.fault = TargetFault::TooManySegments;
            return r;
        }
        std::optional<std::string> segment = percent_decode(raw_segment, false);
        if (!segment) {
            r.fault = TargetFault::BadEscape;
            return r;
        }
        for (char c : *segment) {
            if (c == '/' || c == '\\') {
                r.fault = TargetFault::EncodedSlash;
                return r;
            }
            if (is_control(static_cast<unsigned char>(c))) {
                r.fault = TargetFault::ControlByte;
                return r;
            }
        }
        if (*segment == "." || *segment == "..") {
            r.fault = TargetFault::DotSegment;
            return r;
        }
        if (segment->size() > kMaxSegmentLength) {
            r.fault = TargetFault::LongSegment;
            return r;
        }
        t.segments.push_back(std::move(*segment));
        if (end == path.size())
            break;
    }
    r.target = std::move(t);
    return r;
}

std::optional<std::map<std::string, std::string>> parse_form(std::string_view body, std::size_t max_bytes,
                                                             std::size_t max_fields)
{
    if (body.size() > max_bytes)
        return std::nullopt;
    std::map<std::string, std::string> out;
    std::size_t fields = 0;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view pair = body.substr(start, end - start);
        start = end + 1;
        if (pair.empty())
            continue;
        if (++fields > max_fields)
            return std::nullopt;
        std::size_t eq = pair.find('=');
        auto name = percent_decode(pair.substr(0, eq), true);
        auto value = percent_decode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
        if (!name || !value)
            return std::nullopt;
        out.emplace(std::move(*name), std::move(*value));
    }
    return out;
}

} // namespace orva::station::web
