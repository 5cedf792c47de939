// Little-endian field access for the packed file records. Records are built byte by byte so the
// layout never depends on the compiler's struct packing or the host's byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace orva::elements::detail {

inline std::uint64_t get_le(std::span<const std::uint8_t> b, std::size_t at, std::size_t width)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v |= std::uint64_t(b[at + i]) << (8 * i);
    return v;
}

inline void put_le(std::span<std::uint8_t> b, std::size_t at, std::size_t width, std::uint64_t v)
{
    for (std::size_t i = 0; i < width; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

inline double get_f64(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::bit_cast<double>(get_le(b, at, 8));
}
inline void put_f64(std::span<std::uint8_t> b, std::size_t at, double v)
{
    put_le(b, at, 8, std::bit_cast<std::uint64_t>(v));
}
inline std::int16_t get_i16(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::int16_t(std::uint16_t(get_le(b, at, 2)));
}
inline std::int32_t get_i32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::int32_t(std::uint32_t(get_le(b, at, 4)));
}

// A NUL-terminated text field of `width` bytes; a field without a NUL keeps all its bytes.
inline std::string get_text(std::span<const std::uint8_t> b, std::size_t at, std::size_t width)
{
    std::size_t n = 0;
    while (n < width && b[at + n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(b.data() + at), n);
}

// Writes at most width - 1 characters, stopping at an embedded NUL, and zero-fills the rest, so
// the field always ends in NUL and reads back as written.
inline void put_text(std::span<std::uint8_t> b, std::size_t at, std::size_t width, std::string_view s)
{
    s = s.substr(0, s.find('\0'));
    std::size_t n = s.size() < width ? s.size() : width - 1;
    std::memset(b.data() + at, 0, width);
    std::memcpy(b.data() + at, s.data(), n);
}

} // namespace orva::elements::detail
