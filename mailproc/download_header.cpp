#include "mailproc/download_header.h"

#include <algorithm>

namespace orva::mailproc {

namespace {

std::uint32_t little_endian(std::span<const std::uint8_t> v, std::size_t max_bytes)
{
    std::uint32_t out = 0;
    const std::size_t n = std::min(v.size(), max_bytes);
    for (std::size_t i = 0; i < n; ++i)
        out |= std::uint32_t(v[i]) << (8 * i);
    return out;
}

// Texts end at a NUL, as in the fixed buffers they were read into, and are cut to the buffer.
std::string text(std::span<const std::uint8_t> v, std::size_t max_chars)
{
    std::string out;
    for (auto b : v) {
        if (b == 0 || out.size() == max_chars)
            break;
        out.push_back(static_cast<char>(b));
    }
    return out;
}

std::string upper(std::string s)
{
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

DownloadHeader read_download_header(std::span<const std::uint8_t> bytes)
{
    DownloadHeader h;
    bytes = bytes.first(std::min(bytes.size(), max_header_bytes));
    if (bytes.size() < 2) {
        h.length = bytes.size();
        return h;
    }
    h.length = 2;
    if (bytes[0] != 0xAA || bytes[1] != 0x55)
        return h;
    h.magic_ok = true;
    std::uint32_t sum = 0xAA + 0x55;
    std::size_t pos = 2;
    while (bytes.size() - pos >= 3) {
        const std::uint16_t id = static_cast<std::uint16_t>(bytes[pos] | bytes[pos + 1] << 8);
        const std::uint8_t len = bytes[pos + 2];
        sum += bytes[pos] + bytes[pos + 1] + len;
        pos += 3;
        h.length = pos;
        if (id == 0 && len == 0) {
            h.terminated = true;
            break;
        }
        if (len > bytes.size() - pos) { // a short read: the walk ends with what was there
            h.length = bytes.size();
            if (id != 10)
                for (std::size_t i = pos; i < bytes.size(); ++i)
                    sum += bytes[i];
            break;
        }
        auto v = bytes.subspan(pos, len);
        pos += len;
        h.length = pos;
        if (id != 10)
            for (auto b : v)
                sum += b;
        switch (id) {
        case 1: h.file_number = little_endian(v, 4); break;
        case 2: h.name = text(v, 8); break;
        case 3: h.extension = text(v, 3); break;
        case 4: h.file_size = little_endian(v, 4); break;
        case 8: h.file_type = static_cast<std::uint8_t>(little_endian(v, 1)); break;
        case 9: h.body_checksum = static_cast<std::uint16_t>(little_endian(v, 2)); break;
        case 10: h.header_checksum = static_cast<std::uint16_t>(little_endian(v, 2)); break;
        case 11: h.body_offset = static_cast<std::uint16_t>(little_endian(v, 2)); break;
        case 16: h.source = upper(text(v, 255)); break;
        case 20: h.destination = upper(text(v, 255)); break;
        case 25: h.compression = static_cast<std::uint8_t>(little_endian(v, 1)); break;
        case 34: h.title = text(v, 255); break;
        case 35: h.keywords = text(v, 255); break;
        case 38: h.user_file_name = text(v, 150); break;
        default: break;
        }
    }
    h.computed_checksum = static_cast<std::uint16_t>(sum);
    return h;
}

} // namespace orva::mailproc
