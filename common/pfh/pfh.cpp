#include "common/pfh/pfh.h"

#include <bitset>

namespace orva::pfh {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

Error bad(std::string why) { return make_error("PACSAT header: " + why); }

// Size a numeric item must have; 0 for items of free length.
std::size_t numeric_size(std::uint8_t id) {
    switch (id) {
    case kFileNumber: case kFileSize: case kCreateTime: case kUploadTime: case kExpireTime: return 4;
    case kBodyChecksum: case kHeaderChecksum: case kBodyOffset: return 2;
    case kFileType: case kDownloadCount: case kCompression: return 1;
    default: return 0;
    }
}

bool is_known(std::uint8_t id) {
    switch (id) {
    case kFileNumber: case kFileName: case kFileExt: case kFileSize: case kCreateTime: case kFileType:
    case kBodyChecksum: case kHeaderChecksum: case kBodyOffset: case kSource: case kAx25Uploader:
    case kUploadTime: case kDownloadCount: case kDestination: case kExpireTime: case kCompression:
    case kTitle: case kKeywords: case kUserFileName: case kGatewayHoles: return true;
    default: return false;
    }
}

struct Walk {
    std::uint16_t sum = 0;
    std::size_t length = 0;
};

// Walks the items, calling `on_item(id, low id, value)` for each, and sums as item 10 wants.
template <class OnItem>
Result<Walk> walk_items(std::span<const std::uint8_t> bytes, OnItem&& on_item) {
    if (bytes.size() < 2 || bytes[0] != kMagic0 || bytes[1] != kMagic1) return bad("bad magic");
    Walk w;
    std::uint32_t sum = kMagic0 + kMagic1;
    std::size_t pos = 2;
    for (;;) {
        if (bytes.size() - pos < 3) return bad("no terminating item");
        const std::uint16_t id = le16(&bytes[pos]);
        const std::uint8_t low = std::uint8_t(id & 0xFF);
        const std::uint8_t len = bytes[pos + 2];
        pos += 3;
        sum += std::uint32_t(id & 0xFF) + std::uint32_t(id >> 8) + len;
        if (low == kEnd && len == 0) break;
        if (len > bytes.size() - pos) return bad("item " + std::to_string(id) + " runs past the end");
        auto value = bytes.subspan(pos, len);
        if (low != kHeaderChecksum)
            for (auto b : value) sum += b;
        if (auto st = on_item(id, low, value); !st) return st.error();
        pos += len;
    }
    w.sum = std::uint16_t(sum);
    w.length = pos;
    return w;
}

std::string text(std::span<const std::uint8_t> v) { return std::string(v.begin(), v.end()); }

} // namespace

std::string PfhHeader::display_name() const {
    if (user_file_name) return *user_file_name;
    return file_name.value_or(std::string());
}

Result<PfhHeader> parse_pfh(std::span<const std::uint8_t> bytes, ParseOptions options) {
    PfhHeader h;
    std::bitset<256> seen;
    bool have_number = false;
    auto walked = walk_items(bytes, [&](std::uint16_t id, std::uint8_t low, std::span<const std::uint8_t> v) -> Status {
        if (!is_known(low)) {
            h.other_items.push_back(RawItem{id, std::vector<std::uint8_t>(v.begin(), v.end())});
            return {};
        }
        if (seen[low]) return bad("item " + std::to_string(low) + " given twice");
        seen[low] = true;
        if (auto need = numeric_size(low); need != 0 && v.size() != need)
            return bad("item " + std::to_string(low) + " has length " + std::to_string(v.size()));
        const std::uint8_t* p = v.data();
        switch (low) {
        case kFileNumber: h.file_number = le32(p); have_number = true; break;
        case kFileName: h.file_name = text(v); break;
        case kFileExt: h.file_ext = text(v); break;
        case kFileSize: h.file_size = le32(p); break;
        case kCreateTime: h.create_time = le32(p); break;
        case kFileType: h.file_type = p[0]; break;
        case kBodyChecksum: h.body_checksum = le16(p); break;
        case kHeaderChecksum: h.header_checksum = le16(p); break;
        case kBodyOffset: h.body_offset = le16(p); break;
        case kSource: h.source = text(v); break;
        case kAx25Uploader: h.ax25_uploader = text(v); break;
        case kUploadTime: h.upload_time = le32(p); break;
        case kDownloadCount: h.download_count = p[0]; break;
        case kDestination: h.destination = text(v); break;
        case kExpireTime: h.expire_time = le32(p); break;
        case kCompression: h.compression_type = p[0]; break;
        case kTitle: h.title = text(v); break;
        case kKeywords: h.keywords = text(v); break;
        case kUserFileName: h.user_file_name = text(v); break;
        case kGatewayHoles: {
            if (v.size() % 10 != 0) return bad("gateway hole list of " + std::to_string(v.size()) + " bytes");
            std::vector<GatewayEntry> entries;
            for (std::size_t i = 0; i < v.size(); i += 10)
                entries.push_back(GatewayEntry{text(v.subspan(i, 6)), le32(p + i + 6)});
            h.gateway_holes = std::move(entries);
            break;
        }
        default: break;
        }
        return {};
    });
    if (!walked) return walked.error();
    if (!have_number || (h.file_number == 0 && !options.allow_zero_file_number)) return bad("file number missing or 0");
    if (options.check_header_checksum && h.header_checksum.value_or(0) != walked->sum)
        return bad("header checksum mismatch");
    h.header_length = walked->length;
    return h;
}

Result<std::uint16_t> compute_header_checksum(std::span<const std::uint8_t> header) {
    auto walked = walk_items(header, [](std::uint16_t, std::uint8_t, std::span<const std::uint8_t>) -> Status { return {}; });
    if (!walked) return walked.error();
    return walked->sum;
}

std::uint16_t body_checksum(std::span<const std::uint8_t> body) {
    std::uint32_t sum = 0;
    for (auto b : body) sum += b;
    return std::uint16_t(sum);
}

} // namespace orva::pfh
