#include "ccdview/block_coder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <fstream>

#include "common/elements/file_io.h"

namespace orva::ccdview {

namespace {

// Bit pairs 2-3 and 4-5 exchanged: from quadrant-by-quadrant order to row order and back.
std::uint8_t swap_middle_pairs(std::uint8_t v)
{
    return std::uint8_t((v & 0xC3) | ((v & 0x0C) << 2) | ((v & 0x30) >> 2));
}

using Block = std::array<std::array<int, 4>, 4>; // [row][column], row 0 at the top

int isqrt_floor(double v) { return v <= 0 ? 0 : int(std::sqrt(v)); }

// Pixels of quadrant q (0..3) in row-by-row order.
std::array<int, 4> quadrant(const Block& b, int q)
{
    int r0 = (q / 2) * 2, c0 = (q % 2) * 2;
    return {b[r0][c0], b[r0][c0 + 1], b[r0 + 1][c0], b[r0 + 1][c0 + 1]};
}

// Bitmap A (upper half, quadrants 0 and 1) or B (lower half, quadrants 2 and 3), as stored.
std::uint8_t half_bits(const Block& b, int half, const std::array<int, 4>& threshold_sum, int divisor)
{
    std::uint8_t bits = 0;
    for (int qi = 0; qi < 2; ++qi) {
        int q = half * 2 + qi;
        auto px = quadrant(b, q);
        for (int i = 0; i < 4; ++i)
            if (px[std::size_t(i)] * divisor > threshold_sum[std::size_t(q)])
                bits = std::uint8_t(bits | (1u << (qi * 4 + i)));
    }
    return swap_middle_pairs(bits);
}

void rebuild(int mean, int deviation, int bit_count, int total, std::span<const bool> bits, std::span<int> out)
{
    int low, high;
    if (bit_count == total)
        low = mean;
    else
        low = std::max(0, mean - deviation * int(std::sqrt(double(bit_count / (total - bit_count)))));
    if (bit_count == 0)
        high = low;
    else
        high = std::min(255, mean + deviation * int(std::sqrt(double((total - bit_count) / bit_count))));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = bits[i] ? high : low;
}

Status write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return make_error("Can't open file " + path.string());
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out)
        return make_error("Can't open file " + path.string());
    return {};
}

} // namespace

EncodedImage encode_blocks(const Bitmap& bitmap)
{
    EncodedImage enc;
    const int cw = bitmap.width / 16 * 16, ch = bitmap.height / 4 * 4;
    enc.thumb_width = cw / 4;
    enc.thumb_height = ch / 4;
    const std::size_t blocks = std::size_t(enc.thumb_width) * std::size_t(enc.thumb_height);
    enc.thumb.reserve(blocks);
    enc.nail.assign((blocks + 3) / 4, 0);
    std::vector<std::uint8_t> detail;
    std::size_t k = 0;
    for (int by = 0; by < enc.thumb_height; ++by) {
        for (int bx = 0; bx < enc.thumb_width; ++bx, ++k) {
            Block b{};
            long sum = 0, squares = 0;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) {
                    int v = bitmap.row(bitmap.height - 1 - (by * 4 + r))[bx * 4 + c];
                    b[std::size_t(r)][std::size_t(c)] = v;
                    sum += v;
                    squares += long(v) * v;
                }
            int m = int(sum / 16);
            enc.thumb.push_back(std::uint8_t(m));
            double sigma = std::sqrt(double(16 * squares - sum * sum) / 256.0);
            int cls = 0;
            if (sigma > 10) {
                cls = 2;
                std::array<int, 4> qsum{}, qdev{};
                for (int q = 0; q < 4; ++q) {
                    long s = 0, ss = 0;
                    for (int v : quadrant(b, q)) {
                        s += v;
                        ss += long(v) * v;
                    }
                    qsum[std::size_t(q)] = int(s);
                    qdev[std::size_t(q)] = isqrt_floor(double(4 * ss - s * s) / 16.0);
                }
                for (int q = 1; q < 4; ++q)
                    detail.push_back(std::uint8_t(qsum[std::size_t(q)] / 4));
                for (int q = 0; q < 4; ++q)
                    detail.push_back(std::uint8_t(std::min(255, qdev[std::size_t(q)])));
                detail.push_back(half_bits(b, 0, qsum, 4));
                detail.push_back(half_bits(b, 1, qsum, 4));
            } else if (sigma > 1) {
                cls = 3;
                std::array<int, 4> mean_sum{m, m, m, m};
                detail.push_back(std::uint8_t(sigma));
                detail.push_back(half_bits(b, 0, mean_sum, 1));
                detail.push_back(half_bits(b, 1, mean_sum, 1));
            }
            enc.nail[k / 4] = std::uint8_t(enc.nail[k / 4] | (cls << (2 * (k % 4))));
        }
    }
    enc.nail.insert(enc.nail.end(), detail.begin(), detail.end());
    return enc;
}

Result<std::vector<std::uint8_t>> decode_blocks(std::span<const std::uint8_t> thumb,
                                                std::span<const std::uint8_t> nail)
{
    const std::size_t n = thumb.size();
    const std::size_t class_bytes = (n + 3) / 4;
    if (nail.size() < class_bytes)
        return make_error("Nail.Ccd is too short for Thumb.Ccd: the compressed pair is incomplete");
    const std::size_t rows = (n + kDecodedBlocksPerRow - 1) / kDecodedBlocksPerRow;
    std::vector<std::uint8_t> image(rows * 4 * kDecodedWidth, 0);
    std::size_t pos = class_bytes;
    auto take = [&](std::size_t count) -> const std::uint8_t* {
        if (nail.size() - pos < count)
            return nullptr;
        const std::uint8_t* p = nail.data() + pos;
        pos += count;
        return p;
    };
    for (std::size_t k = 0; k < n; ++k) {
        int cls = (nail[k / 4] >> (2 * (k % 4))) & 3;
        int m = thumb[k];
        Block b{};
        for (auto& row : b)
            row.fill(m);
        if (cls == 3 || cls == 2) {
            const std::uint8_t* d = take(cls == 3 ? 3 : 9);
            if (!d)
                return make_error("Nail.Ccd is too short for Thumb.Ccd: the compressed pair is incomplete");
            const std::uint8_t* ab = cls == 3 ? d + 1 : d + 7;
            // Row order back to quadrant-by-quadrant order: bit qi*4+i is pixel i of quadrant half*2+qi.
            std::array<bool, 16> bit{}; // by quadrant, 4 each
            for (int half = 0; half < 2; ++half) {
                std::uint8_t v = swap_middle_pairs(ab[half]);
                for (int j = 0; j < 8; ++j)
                    bit[std::size_t(half * 8 + j)] = (v >> j) & 1;
            }
            std::array<int, 16> px{}; // by quadrant
            if (cls == 3) {
                int q = 0;
                for (bool set : bit)
                    q += set;
                rebuild(m, d[0], q, 16, bit, px);
            } else {
                int means[4] = {std::clamp(4 * m - d[0] - d[1] - d[2], 0, 255), d[0], d[1], d[2]};
                for (int quad = 0; quad < 4; ++quad) {
                    std::span<const bool> qbits(bit.data() + quad * 4, 4);
                    int q = 0;
                    for (bool set : qbits)
                        q += set;
                    rebuild(means[quad], d[3 + quad], q, 4, qbits, std::span<int>(px.data() + quad * 4, 4));
                }
            }
            for (int quad = 0; quad < 4; ++quad) {
                int r0 = (quad / 2) * 2, c0 = (quad % 2) * 2;
                for (int i = 0; i < 4; ++i)
                    b[std::size_t(r0 + i / 2)][std::size_t(c0 + i % 2)] = px[std::size_t(quad * 4 + i)];
            }
        }
        std::size_t by = k / kDecodedBlocksPerRow, bx = k % kDecodedBlocksPerRow;
        for (std::size_t r = 0; r < 4; ++r)
            for (std::size_t c = 0; c < 4; ++c)
                image[(by * 4 + r) * kDecodedWidth + bx * 4 + c] = std::uint8_t(b[r][c]);
    }
    image.resize(n * 16);
    return image;
}

Status encode_to_folder(Bitmap& bitmap, const std::filesystem::path& folder)
{
    EncodedImage enc = encode_blocks(bitmap);
    if (auto s = write_file(folder / "Thumb.Ccd", enc.thumb); !s)
        return s;
    if (auto s = write_file(folder / "Nail.Ccd", enc.nail); !s)
        return s;
    Bitmap thumb;
    thumb.width = enc.thumb_width;
    thumb.height = enc.thumb_height;
    thumb.palette = bitmap.palette;
    thumb.pixels.resize(enc.thumb.size());
    for (int r = 0; r < thumb.height; ++r)
        std::copy_n(enc.thumb.begin() + std::ptrdiff_t(r) * thumb.width, thumb.width, thumb.row(thumb.height - 1 - r));
    bitmap = std::move(thumb);
    return {};
}

Status decode_in_folder(const std::filesystem::path& folder)
{
    std::filesystem::path thumb_path = elements::find_nocase(folder, "Thumb.ccd");
    std::filesystem::path nail_path = elements::find_nocase(folder, "Nail.ccd");
    auto thumb = elements::read_whole_file(thumb_path);
    if (!thumb || !*thumb)
        return make_error("Can't open file " + thumb_path.string());
    auto nail = elements::read_whole_file(nail_path);
    if (!nail || !*nail)
        return make_error("Can't open file " + nail_path.string());
    auto pixels = decode_blocks(**thumb, **nail);
    if (!pixels)
        return pixels.error();
    return write_file(folder / "Drume.Ccd", *pixels);
}

} // namespace orva::ccdview
