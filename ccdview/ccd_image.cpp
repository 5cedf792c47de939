#include "ccdview/ccd_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace orva::ccdview {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

PaletteEntry grey(int level)
{
    auto v = std::uint8_t(std::clamp(level, 0, 255));
    return {v, v, v, 0};
}

} // namespace

Palette grey_palette()
{
    Palette p{};
    for (int i = 0; i < 256; ++i)
        p[std::size_t(i)] = grey(i);
    return p;
}

const char* caption_text(int code)
{
    switch (code) {
    case CaptionFileError: return "File Error";
    case CaptionCcdError: return "CCD Error";
    case CaptionFilesizeError: return "Filesize Error";
    case CaptionMemory: return "Memory Allocation Error";
    default: return "Pixora";
    }
}

std::string upper_name(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

CcdLayout layout_for_name(std::string_view upper)
{
    CcdLayout l;
    if (contains(upper, "KBIW"))
        l = {511, 502, 256, 0, true};
    else if (contains(upper, "U5") || contains(upper, "KA") || contains(upper, "KBIN") || contains(upper, "IM"))
        l = {611, 576, 256, 355, !(contains(upper, "IM") && !contains(upper, "U5") && !contains(upper, "KA") &&
                                   !contains(upper, "KBIN"))};
    else
        l = {1020, 1024, 0, 0, false};
    if (contains(upper, "THUMB"))
        l = {252, 256, 0, 0, false};
    if (contains(upper, "DRUME"))
        l = {1008, 1024, 0, 0, false};
    return l;
}

Result<std::filesystem::path> choose_ccd_file(const std::filesystem::path& chosen)
{
    // Only the file's own name decides: a folder called "IMAGES" must not make every file an image.
    std::string upper = upper_name(chosen.filename().string());
    if (contains(upper, "BMP"))
        return make_error("This is a BMP file, Use Open Bmp", CaptionFileError);
    bool family = contains(upper, "U5") || contains(upper, "KA") || contains(upper, "KB") || contains(upper, "IM");
    if (family && !contains(upper, ".CCD"))
        return chosen; // loaded in place; the name is treated as if ".CCD" followed it
    if (!contains(upper, "CCD"))
        return make_error("Unsupported File type", CaptionCcdError);
    return chosen;
}

void place_rows(Bitmap& bitmap, const CcdLayout& layout, std::span<const std::uint8_t> pixel_bytes)
{
    const int H = layout.height, W = layout.width;
    auto copy_row = [&](std::size_t source, int dest_row) {
        if (dest_row < 0 || dest_row >= bitmap.height)
            return;
        // A row the file does not hold whole stays black.
        if (source + std::size_t(W) > pixel_bytes.size())
            return;
        std::memcpy(bitmap.row(dest_row), pixel_bytes.data() + source, std::size_t(std::min(W, bitmap.width)));
    };
    for (int y = 0; y < H; ++y) {
        if (!layout.interlaced) {
            copy_row(std::size_t(y) * std::size_t(W), H - 1 - y);
        } else if (y < H / 2) {
            copy_row(std::size_t(y) * std::size_t(W), 2 * (H - 1 - y - H / 2));
        } else if (y > H / 2) {
            copy_row(std::size_t(y - 1) * std::size_t(W) + std::size_t(layout.gap_bytes), 2 * (H - 1 - y) + 1);
        }
        // y == H/2 starts with the gap block between the fields, which is not shown.
    }
}

void spike_filter(Bitmap& bitmap)
{
    auto& p = bitmap.pixels;
    for (std::size_t i = 1; i + 1 < p.size(); ++i) {
        int l = p[i - 1], c = p[i], r = p[i + 1];
        int dl = std::abs(c - l), dr = std::abs(c - r);
        if (dl > 4 && dr > 4 && dl >= std::abs(r - l))
            p[i] = std::uint8_t((l + r) / 2);
    }
}

RowSums row_sums(const Bitmap& bitmap, std::uint64_t threshold)
{
    RowSums sums;
    const int H = bitmap.height;
    std::uint64_t previous = 0;
    for (int r = 0; r < H; ++r) {
        std::uint64_t sum = 0;
        const std::uint8_t* row = bitmap.row(r);
        for (int x = 0; x < bitmap.width; ++x)
            sum += row[x];
        if (sums.seam < 0 && r > 20 && r < H - 20) {
            std::uint64_t diff = sum > previous ? sum - previous : previous - sum;
            if (diff > threshold)
                sums.seam = r;
        }
        (sums.seam >= 0 ? sums.second_total : sums.first_total) += sum;
        previous = sum;
    }
    return sums;
}

int normalise_palette(Bitmap& bitmap, int mean)
{
    Palette ramp = grey_palette();
    if (mean < 127) {
        int d = 127 - mean;
        for (int i = 0; i < 256; ++i)
            bitmap.palette[std::size_t(i)] = i + d > 255 ? grey(255) : ramp[std::size_t(i + d)];
        return -d;
    }
    int d = mean - 127;
    for (int i = 0; i < 256; ++i)
        bitmap.palette[std::size_t(i)] = i - d < 0 ? grey(0) : ramp[std::size_t(i - d)];
    return d;
}

void correct_seam(Bitmap& bitmap, int seam, int mean, int second_mean)
{
    if (seam < 0 || std::abs(mean - second_mean) >= 24)
        return;
    auto D = std::uint16_t(std::uint16_t(std::abs(mean - second_mean) * seam) / std::uint16_t(bitmap.height));
    for (int r = seam; r < bitmap.height; ++r) {
        std::uint8_t* row = bitmap.row(r);
        for (int x = 0; x < bitmap.width; ++x)
            row[x] = std::uint8_t(mean < second_mean ? std::max(0, row[x] - D) : std::min(255, row[x] + D));
    }
    blend_seam(bitmap, seam);
    blend_seam(bitmap, seam - 5);
}

void blend_seam(Bitmap& bitmap, int s)
{
    if (s < 1 || s + 4 >= bitmap.height)
        return;
    static constexpr int kHigh[4] = {253, 253, 251, 250};
    for (int pass = 0; pass < 10; ++pass) {
        for (int x = 0; x < bitmap.width; ++x) {
            int b = bitmap.row(s - 1)[x], d = bitmap.row(s + 4)[x];
            for (int k = 0; k < 4; ++k) {
                std::uint8_t& px = bitmap.row(s + k)[x];
                int v;
                if (d - b >= 5) {
                    int e = (d - b) / 5;
                    v = b + (k + 1) * e;
                    if (v > kHigh[k])
                        v = 255;
                } else if (b - d >= 5) {
                    int e = (b - d) / 5;
                    v = b - (k + 1) * e;
                    if (v <= k + 1)
                        v = 0;
                } else {
                    int e = (b + d) / 2;
                    v = (e + px) / 2;
                }
                px = std::uint8_t(std::clamp(v, 0, 255));
            }
        }
    }
}

void start_shift(Bitmap& bitmap)
{
    auto& p = bitmap.pixels;
    if (p.size() <= 30)
        return;
    std::memmove(p.data(), p.data() + 30, p.size() - 30);
    std::fill(p.end() - 30, p.end(), std::uint8_t(0));
}

Result<CcdImage> decode_ccd(std::string_view file_name, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != kNarrowFileSize && bytes.size() != kWideFileSize)
        return make_error("This file is corrupted. Load aborted", CaptionFilesizeError);
    const std::string upper = upper_name(file_name);
    const CcdLayout layout = layout_for_name(upper);

    CcdImage image;
    image.name = std::string(file_name);
    std::size_t header = std::size_t(layout.header_bytes);
    std::copy_n(bytes.begin(), header, image.header_block.begin());
    image.raw.assign(bytes.begin() + std::ptrdiff_t(header), bytes.end());

    Bitmap& bm = image.bitmap;
    bm.width = (layout.width + 3) / 4 * 4;
    bm.height = layout.height / 4 * 4;
    bm.palette = grey_palette();
    bm.pixels.assign(std::size_t(bm.width) * std::size_t(bm.height), 0);
    for (int i = 0; i < 512; ++i)
        image.reference[std::size_t(i)] = grey(i - 128);

    place_rows(bm, layout, image.raw);

    if (contains(upper, "U5"))
        spike_filter(bm);
    std::uint64_t threshold = contains(upper, "KA") || contains(upper, "KB") ? 4096 : 24576;
    RowSums sums = row_sums(bm, threshold);
    const std::uint64_t S = std::uint64_t(bm.width), H = std::uint64_t(bm.height);
    image.mean = int((sums.first_total + sums.second_total) / (S * H));
    image.seam = sums.seam;
    int d = normalise_palette(bm, image.mean);
    image.normalised = d != 0;
    image.shift = std::abs(d);
    image.lighten = d < 0;
    if (sums.seam >= 0) {
        int second_mean = int(sums.second_total / ((H - std::uint64_t(sums.seam)) * S));
        correct_seam(bm, sums.seam, image.mean, second_mean);
    }
    if (contains(upper, "U5") || contains(upper, "KA") || contains(upper, "KBIN"))
        start_shift(bm);
    return image;
}

Result<CcdImage> load_ccd(const std::filesystem::path& chosen)
{
    auto file = choose_ccd_file(chosen);
    if (!file)
        return file.error();
    std::ifstream in(*file, std::ios::binary);
    if (!in)
        return make_error("Can't open file " + file->string(), CaptionPixora);
    std::error_code ec;
    auto size = std::filesystem::file_size(*file, ec);
    if (ec || (size != kNarrowFileSize && size != kWideFileSize))
        return make_error("This file is corrupted. Load aborted", CaptionFilesizeError);
    std::vector<std::uint8_t> bytes(size);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    if (std::size_t(in.gcount()) != size)
        return make_error("This file is corrupted. Load aborted", CaptionFilesizeError);
    std::string name = file->filename().string();
    // A family name without ".CCD" reads as if the extension were there.
    std::string upper = upper_name(name);
    if (!contains(upper, ".CCD"))
        upper += ".CCD";
    auto image = decode_ccd(upper, bytes);
    if (image)
        image->name = name;
    return image;
}

void apply_shift(CcdImage& image)
{
    for (int i = 0; i < 256; ++i) {
        int index = 128 + (image.lighten ? i + image.shift : i - image.shift);
        image.bitmap.palette[std::size_t(i)] = image.reference[std::size_t(std::clamp(index, 0, 511))];
    }
}

void set_exposure(CcdImage& image, ExposureCommand command)
{
    switch (command) {
    case ExposureCommand::Original:
        image.shift = 0;
        break;
    case ExposureCommand::Enhanced:
        image.shift = std::abs(image.mean - 127);
        image.lighten = image.mean < 127;
        break;
    case ExposureCommand::Lighten:
        image.lighten = true;
        image.shift = image.shift >= 120 ? 127 : image.shift + 8;
        break;
    case ExposureCommand::Darken:
        image.lighten = true;
        image.shift = image.shift < 8 ? 0 : image.shift - 8;
        break;
    }
    apply_shift(image);
}

void rotate(Bitmap& bitmap, bool clockwise)
{
    const int W = bitmap.width, H = bitmap.height;
    std::vector<std::uint8_t> out(bitmap.pixels.size());
    // New row k has the old height as its length.
    for (int k = 0; k < W; ++k) {
        std::uint8_t* dest = out.data() + std::size_t(k) * std::size_t(H);
        if (clockwise)
            for (int j = 0; j < H; ++j)
                dest[j] = bitmap.row(j)[W - 1 - k];
        else
            for (int j = 0; j < H; ++j)
                dest[j] = bitmap.row(H - 1 - j)[k];
    }
    bitmap.pixels = std::move(out);
    bitmap.width = H;
    bitmap.height = W;
}

} // namespace orva::ccdview
