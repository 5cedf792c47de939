// One table per record of the store: each row names a value, its kind and buffer size, and the
// member of the record it fills. The record's member initialisers are the defaults a reader
// takes for a missing value, so no program repeats a default.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/store/store.h"

namespace orva::settings {

enum class Kind {
    String,      // text and its NUL; read with a buffer of `size` bytes
    StringBytes, // text without a NUL (a value the page writes at its exact length)
    Integer,     // 32-bit little-endian
    Double,      // binary, 8-byte IEEE-754 little-endian
    Byte,        // binary, 1 byte
    Binary32,    // binary, 4 bytes holding a little-endian number (the transverter flags)
    Horizon,     // binary, 12 signed 32-bit elevations
};

using HorizonProfile = std::array<std::int32_t, 12>;

template <class R>
struct Field {
    const char* name;
    Kind kind;
    std::size_t size; // string buffer size in bytes, NUL included; unused for the other kinds
    std::variant<std::string R::*, std::uint32_t R::*, double R::*, std::uint8_t R::*, HorizonProfile R::*> member;
};

namespace detail {

inline std::uint32_t le32(std::span<const std::uint8_t> d)
{
    return static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
        static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24;
}
inline void put_le32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline double decode_double_le(std::span<const std::uint8_t> d)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | d[static_cast<std::size_t>(i)];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
inline void encode_double_le(double v, std::uint8_t* out)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

} // namespace detail

// Fills every member whose value is present and readable; the rest keep their defaults.
template <class R>
void read_fields(const platform::Store& store, std::string_view key, std::span<const Field<R>> table, R& record)
{
    for (const auto& f : table) {
        switch (f.kind) {
        case Kind::String:
        case Kind::StringBytes:
            if (auto v = store.read_string(key, f.name, f.size))
                record.*std::get<std::string R::*>(f.member) = *v;
            break;
        case Kind::Integer:
            if (auto v = store.read_integer(key, f.name))
                record.*std::get<std::uint32_t R::*>(f.member) = *v;
            break;
        case Kind::Double:
            if (auto v = store.read_binary(key, f.name, 8))
                record.*std::get<double R::*>(f.member) = detail::decode_double_le(*v);
            break;
        case Kind::Byte:
            if (auto v = store.read_binary(key, f.name, 1))
                record.*std::get<std::uint8_t R::*>(f.member) = (*v)[0];
            break;
        case Kind::Binary32:
            if (auto v = store.read_binary(key, f.name, 4))
                record.*std::get<std::uint32_t R::*>(f.member) = detail::le32(*v);
            break;
        case Kind::Horizon:
            if (auto v = store.read_binary(key, f.name, 48)) {
                HorizonProfile h{};
                for (std::size_t i = 0; i < h.size(); ++i)
                    h[i] = static_cast<std::int32_t>(detail::le32(std::span(*v).subspan(i * 4, 4)));
                record.*std::get<HorizonProfile R::*>(f.member) = h;
            }
            break;
        }
    }
}

// Writes one row's value; strings longer than their buffer are refused rather than cut.
template <class R>
Status write_field(platform::Store& store, std::string_view key, const Field<R>& f, const R& record)
{
    switch (f.kind) {
    case Kind::String: {
        const std::string& s = record.*std::get<std::string R::*>(f.member);
        if (s.size() + 1 > f.size)
            return make_error("\"" + std::string(f.name) + "\" is longer than " + std::to_string(f.size - 1) + " characters");
        return store.write_string(key, f.name, s);
    }
    case Kind::StringBytes: {
        const std::string& s = record.*std::get<std::string R::*>(f.member);
        if (s.size() > f.size)
            return make_error("\"" + std::string(f.name) + "\" is longer than " + std::to_string(f.size) + " characters");
        return store.write_string_bytes(key, f.name, s);
    }
    case Kind::Integer:
        return store.write_integer(key, f.name, record.*std::get<std::uint32_t R::*>(f.member));
    case Kind::Double: {
        std::uint8_t b[8];
        detail::encode_double_le(record.*std::get<double R::*>(f.member), b);
        return store.write_binary(key, f.name, b);
    }
    case Kind::Byte: {
        std::uint8_t b = record.*std::get<std::uint8_t R::*>(f.member);
        return store.write_binary(key, f.name, std::span(&b, 1));
    }
    case Kind::Binary32: {
        std::uint8_t b[4];
        detail::put_le32(b, record.*std::get<std::uint32_t R::*>(f.member));
        return store.write_binary(key, f.name, b);
    }
    case Kind::Horizon: {
        const HorizonProfile& h = record.*std::get<HorizonProfile R::*>(f.member);
        std::uint8_t b[48];
        for (std::size_t i = 0; i < h.size(); ++i)
            detail::put_le32(b + i * 4, static_cast<std::uint32_t>(h[i]));
        return store.write_binary(key, f.name, b);
    }
    }
    return make_error("unknown value kind");
}

// Writes every row in table order, stopping at the first failure.
template <class R>
Status write_fields(platform::Store& store, std::string_view key, std::span<const Field<R>> table, const R& record)
{
    for (const auto& f : table)
        if (auto s = write_field(store, key, f, record); !s)
            return s;
    return {};
}

template <class R>
const Field<R>* find_field(std::span<const Field<R>> table, std::string_view name)
{
    for (const auto& f : table) {
        std::string_view n(f.name);
        if (n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return &f;
    }
    return nullptr;
}

} // namespace orva::settings
