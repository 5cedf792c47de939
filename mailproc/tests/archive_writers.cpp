#include "mailproc/tests/archive_writers.h"

namespace orva::mailproc::test {

namespace {

void le(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void append(std::vector<std::uint8_t>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

} // namespace

// CRC-16 of ARC and LHA: polynomial 0x8005, reflected, initial 0.
std::uint16_t crc16_arc(const std::string& data)
{
    std::uint16_t crc = 0;
    for (unsigned char b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

std::uint32_t crc32(const std::string& data)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// ARC: per member 0x1A, method 2 (stored), a 13-byte NUL-padded name, compressed size, DOS date
// and time, CRC-16, original size; the archive ends with 0x1A 0x00.
std::vector<std::uint8_t> make_arc(const std::vector<Member>& members)
{
    std::vector<std::uint8_t> out;
    for (const auto& m : members) {
        out.push_back(0x1A);
        out.push_back(0x02);
        std::string name = m.name.substr(0, 12);
        name.resize(13, '\0');
        append(out, name);
        le(out, static_cast<std::uint32_t>(m.data.size()), 4);
        le(out, 0x5A21, 2); // 1 January 2025
        le(out, 0x6000, 2); // 12:00
        le(out, crc16_arc(m.data), 2);
        le(out, static_cast<std::uint32_t>(m.data.size()), 4);
        append(out, m.data);
    }
    out.push_back(0x1A);
    out.push_back(0x00);
    return out;
}

// LHA level-0 header: size, checksum, "-lh0-", packed and original sizes, DOS time, attribute,
// level, name length and name, CRC-16 of the data; a zero byte ends the archive.
std::vector<std::uint8_t> make_lzh(const std::vector<Member>& members)
{
    std::vector<std::uint8_t> out;
    for (const auto& m : members) {
        std::vector<std::uint8_t> h;
        append(h, "-lh0-");
        le(h, static_cast<std::uint32_t>(m.data.size()), 4);
        le(h, static_cast<std::uint32_t>(m.data.size()), 4);
        le(h, 0x5A216000u, 4);
        h.push_back(0x20);
        h.push_back(0x00);
        h.push_back(static_cast<std::uint8_t>(m.name.size()));
        append(h, m.name);
        le(h, crc16_arc(m.data), 2);
        std::uint8_t sum = 0;
        for (auto b : h)
            sum = static_cast<std::uint8_t>(sum + b);
        out.push_back(static_cast<std::uint8_t>(h.size()));
        out.push_back(sum);
        out.insert(out.end(), h.begin(), h.end());
        append(out, m.data);
    }
    out.push_back(0);
    return out;
}

// ZIP with stored members, made on Unix so that a member can be a symbolic link.
std::vector<std::uint8_t> make_zip(const std::vector<Member>& members)
{
    std::vector<std::uint8_t> out, central;
    for (const auto& m : members) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crc32(m.data);
        const auto size = static_cast<std::uint32_t>(m.data.size());
        le(out, 0x04034b50, 4);
        le(out, 10, 2);
        le(out, 0, 2);
        le(out, 0, 2); // stored
        le(out, 0x6000, 2);
        le(out, 0x5A21, 2);
        le(out, crc, 4);
        le(out, size, 4);
        le(out, size, 4);
        le(out, static_cast<std::uint32_t>(m.name.size()), 2);
        le(out, 0, 2);
        append(out, m.name);
        append(out, m.data);

        le(central, 0x02014b50, 4);
        le(central, 0x0300 | 30, 2); // made by Unix
        le(central, 10, 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, 0x6000, 2);
        le(central, 0x5A21, 2);
        le(central, crc, 4);
        le(central, size, 4);
        le(central, size, 4);
        le(central, static_cast<std::uint32_t>(m.name.size()), 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, (m.symlink ? 0120777u : 0100644u) << 16, 4);
        le(central, offset, 4);
        append(central, m.name);
    }
    const auto central_offset = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    le(out, 0x06054b50, 4);
    le(out, 0, 2);
    le(out, 0, 2);
    le(out, static_cast<std::uint32_t>(members.size()), 2);
    le(out, static_cast<std::uint32_t>(members.size()), 2);
    le(out, static_cast<std::uint32_t>(central.size()), 4);
    le(out, central_offset, 4);
    le(out, 0, 2);
    return out;
}

} // namespace orva::mailproc::test
