#include "ccdview/dib_file.h"

#include <algorithm>
#include <cstring>

namespace orva::ccdview {

namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

Error not_a_dib() { return make_error("not a DIB"); }

std::size_t row_bytes(int width, int bits) { return (std::size_t(width) * std::size_t(bits) + 31) / 32 * 4; }

void file_header(std::vector<std::uint8_t>& out, std::uint32_t file_size, std::uint32_t pixel_offset)
{
    out.push_back('B');
    out.push_back('M');
    put32(out, file_size);
    put32(out, 0);
    put32(out, pixel_offset);
}

} // namespace

Result<std::vector<std::uint8_t>> normalise_dib(std::span<const std::uint8_t> bytes, DibInfo* info_out)
{
    std::span<const std::uint8_t> dib = bytes;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        if (bytes.size() < 14)
            return not_a_dib();
        dib = bytes.subspan(14);
    }
    if (dib.size() < 12)
        return not_a_dib();
    const std::uint32_t header = u32(dib, 0);
    DibInfo info;
    std::size_t entry_size = 4;
    std::uint32_t clr_used = 0;
    if (header == 12) {
        info.width = u16(dib, 4);
        info.height = std::int16_t(u16(dib, 6));
        if (u16(dib, 8) != 1)
            return not_a_dib();
        info.bit_count = u16(dib, 10);
        entry_size = 3;
    } else if (header == 40 || header == 52 || header == 56 || header == 108 || header == 124) {
        if (dib.size() < header)
            return not_a_dib();
        info.width = std::int32_t(u32(dib, 4));
        info.height = std::int32_t(u32(dib, 8));
        if (u16(dib, 12) != 1)
            return not_a_dib();
        info.bit_count = u16(dib, 14);
        info.compression_code = u32(dib, 16);
        clr_used = u32(dib, 32);
    } else {
        return not_a_dib();
    }
    const int bits = info.bit_count;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return not_a_dib();
    if (info.width <= 0 || info.width > 32768 || info.height == 0 || info.height < -32768 || info.height > 32768)
        return not_a_dib();
    switch (info.compression_code) {
    case 0: info.compression = DibCompression::Rgb; break;
    case 1: if (bits != 8) return not_a_dib(); info.compression = DibCompression::Rle8; break;
    case 2: if (bits != 4) return not_a_dib(); info.compression = DibCompression::Rle4; break;
    case 3: if (bits != 16 && bits != 32) return not_a_dib(); break; // bit fields
    default: return not_a_dib();
    }
    // A palette of 0 entries takes the count the bit depth implies.
    std::uint32_t entries = clr_used;
    if (bits <= 8) {
        if (entries == 0 || entries > (1u << bits))
            entries = entries == 0 ? 1u << bits : entries;
        if (entries > 256)
            return not_a_dib();
    } else if (entries > 256) {
        return not_a_dib();
    }
    info.palette_entries = int(entries);
    const std::size_t masks = info.compression_code == 3 && header == 40 ? 12 : 0;
    const std::size_t palette_at = header + masks;
    const std::size_t pixels_at = palette_at + entries * entry_size;
    if (dib.size() < pixels_at)
        return not_a_dib();
    std::span<const std::uint8_t> pixels = dib.subspan(pixels_at);
    const std::size_t needed = row_bytes(info.width, bits) * std::size_t(std::abs(info.height));
    if (info.compression == DibCompression::Rgb && info.compression_code == 0 && pixels.size() < needed)
        return not_a_dib();

    std::vector<std::uint8_t> out;
    out.reserve(14 + 40 + entries * 4 + pixels.size());
    file_header(out, 0, 0);
    if (header == 12) {
        put32(out, 40);
        put32(out, std::uint32_t(info.width));
        put32(out, std::uint32_t(info.height));
        put16(out, 1);
        put16(out, std::uint16_t(bits));
        put32(out, 0);
        put32(out, std::uint32_t(needed));
        put32(out, 0);
        put32(out, 0);
        put32(out, entries);
        put32(out, 0);
    } else {
        out.insert(out.end(), dib.begin(), dib.begin() + std::ptrdiff_t(palette_at));
        // An image size of 0 is computed from the dimensions.
        if (u32(dib, 20) == 0 && info.compression_code == 0)
            set32(out, 14 + 20, std::uint32_t(needed));
        set32(out, 14 + 32, entries);
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = dib.data() + palette_at + i * entry_size;
        out.insert(out.end(), e, e + 3);
        out.push_back(entry_size == 4 ? e[3] : 0);
    }
    const auto offset = std::uint32_t(out.size());
    out.insert(out.end(), pixels.begin(), pixels.end());
    set32(out, 2, std::uint32_t(out.size()));
    set32(out, 10, offset);
    if (info_out)
        *info_out = info;
    return out;
}

std::vector<std::uint8_t> encode_dib(int width, int height, int bits, std::span<const PaletteEntry> palette,
                                     std::span<const std::uint8_t> pixels, DibCompression compression)
{
    if (!(bits == 8 && compression == DibCompression::Rle8) && !(bits == 4 && compression == DibCompression::Rle4))
        compression = DibCompression::Rgb;
    const std::size_t entries = bits <= 8 ? std::min(palette.size(), std::size_t(1) << bits) : 0;
    const std::size_t stride = bits == 24 ? std::size_t(width) * 3 : std::size_t(width);
    std::vector<std::uint8_t> body;
    for (int r = height - 1; r >= 0; --r) { // bottom-up
        const std::uint8_t* src = pixels.data() + std::size_t(r) * stride;
        if (compression == DibCompression::Rgb) {
            std::vector<std::uint8_t> row(row_bytes(width, bits), 0);
            for (int x = 0; x < width; ++x) {
                switch (bits) {
                case 24:
                    row[std::size_t(x) * 3] = src[x * 3 + 2];
                    row[std::size_t(x) * 3 + 1] = src[x * 3 + 1];
                    row[std::size_t(x) * 3 + 2] = src[x * 3];
                    break;
                case 8: row[std::size_t(x)] = src[x]; break;
                case 4: row[std::size_t(x) / 2] = std::uint8_t(row[std::size_t(x) / 2] | (src[x] & 15) << (x % 2 ? 0 : 4)); break;
                case 1: row[std::size_t(x) / 8] = std::uint8_t(row[std::size_t(x) / 8] | (src[x] & 1) << (7 - x % 8)); break;
                }
            }
            body.insert(body.end(), row.begin(), row.end());
            continue;
        }
        // Runs of one value: a count and the value (both nibbles for 4 bits), then end of line.
        for (int x = 0; x < width;) {
            int run = 1;
            while (x + run < width && run < 255 && src[x + run] == src[x])
                ++run;
            body.push_back(std::uint8_t(run));
            std::uint8_t v = src[x];
            body.push_back(compression == DibCompression::Rle4 ? std::uint8_t((v & 15) << 4 | (v & 15)) : v);
            x += run;
        }
        body.push_back(0);
        body.push_back(r == 0 ? 1 : 0); // end of bitmap after the top row
    }
    std::vector<std::uint8_t> out;
    const auto offset = std::uint32_t(14 + 40 + entries * 4);
    file_header(out, std::uint32_t(offset + body.size()), offset);
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, std::uint16_t(bits));
    put32(out, std::uint32_t(compression));
    put32(out, std::uint32_t(body.size()));
    put32(out, 2835); // 72 dots per inch
    put32(out, 2835);
    put32(out, std::uint32_t(entries));
    put32(out, 0);
    for (std::size_t i = 0; i < entries; ++i) {
        out.push_back(palette[i].blue);
        out.push_back(palette[i].green);
        out.push_back(palette[i].red);
        out.push_back(0);
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace orva::ccdview
