#include "common/pfh/upload_layout.h"

#include <cstdio>

namespace orva::pfh {
namespace {

Error refuse(const std::string& why) { return make_error("upload header: " + why); }

std::string hex_id(unsigned id)
{
    char b[12];
    std::snprintf(b, sizeof b, "0x%02X", id);
    return b;
}

const LayoutItem* layout_item(unsigned id)
{
    for (const LayoutItem& item : kUploadLayout)
        if (item.id == id)
            return &item;
    return nullptr;
}

std::string describe(unsigned id)
{
    const LayoutItem* item = layout_item(id);
    return "item " + hex_id(id) + (item ? std::string(" (") + item->name + ")" : std::string());
}

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

void put_le(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

void append_item(std::vector<std::uint8_t>& out, std::uint8_t id, std::span<const std::uint8_t> value)
{
    out.push_back(id);
    out.push_back(0);
    out.push_back(std::uint8_t(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

std::vector<std::uint8_t> le_bytes(std::uint64_t v, int bytes)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bytes));
    put_le(out, 0, v, bytes);
    return out;
}

std::vector<std::uint8_t> text_bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

// A text of a fixed-length item, blank padded; longer ones do not fit.
Result<std::vector<std::uint8_t>> padded(const std::string& s, const LayoutItem& item)
{
    if (s.size() > item.length)
        return refuse(describe(item.id) + " \"" + s + "\" is longer than " + std::to_string(item.length) + " characters");
    std::string p = s;
    p.resize(item.length, ' ');
    return text_bytes(p);
}

Result<std::vector<std::uint8_t>> address(const std::string& s, const LayoutItem& item)
{
    if (s.empty() || s.size() > kMaxAddressText)
        return refuse(describe(item.id) + " must be 1 to " + std::to_string(kMaxAddressText) + " characters, not " +
                      std::to_string(s.size()));
    return text_bytes(s);
}

// The value of one item of the fixed part; sizes and checksums as zeros, filled in afterwards.
Result<std::vector<std::uint8_t>> fixed_value(const UploadHeaderFields& f, const LayoutItem& item)
{
    switch (item.id) {
    case kFileName: return padded(f.file_name, item);
    case kFileExt: return padded(f.file_ext, item);
    case kCreateTime: return le_bytes(f.create_time, 4);
    case kLastModifiedTime: return le_bytes(f.last_modified_time, 4);
    case kSeuFlag: return le_bytes(f.seu_flag, 1);
    case kFileType: return le_bytes(f.file_type, 1);
    case kSource: return address(f.source, item);
    case kAx25Uploader: return padded(f.ax25_uploader, item);
    case kDownloadCount: return le_bytes(f.download_count, 1);
    case kDestination: return address(f.destination, item);
    case kAx25Downloader: return padded(f.ax25_downloader, item);
    case kDownloadTime: return le_bytes(f.download_time, 4);
    case kExpireTime: return le_bytes(f.expire_time, 4);
    case kPriority: return le_bytes(f.priority, 1);
    default: return std::vector<std::uint8_t>(item.length, 0); // file number, upload time, computed items
    }
}

} // namespace

Result<std::vector<std::uint8_t>> build_upload_file(const UploadHeaderFields& f, std::span<const std::uint8_t> body)
{
    std::vector<std::uint8_t> out{kMagic0, kMagic1};
    for (const LayoutItem& item : kUploadLayout) {
        auto value = fixed_value(f, item);
        if (!value)
            return value.error();
        append_item(out, item.id, *value);
    }
    if (f.compression_type)
        append_item(out, kCompression, le_bytes(*f.compression_type, 1));
    const std::pair<std::uint8_t, const std::optional<std::string>*> texts[] = {
        {kTitle, &f.title}, {kKeywords, &f.keywords}, {kUserFileName, &f.user_file_name}};
    for (const auto& [id, text] : texts) {
        if (!*text)
            continue;
        if ((*text)->size() > 255)
            return refuse("item " + hex_id(id) + " is " + std::to_string((*text)->size()) +
                          " characters long; an item holds at most 255");
        append_item(out, id, text_bytes(**text));
    }
    out.insert(out.end(), {0, 0, 0});

    const std::size_t header_length = out.size();
    const std::uint64_t file_size = header_length + body.size();
    if (header_length > 0xFFFF)
        return refuse("the header is " + std::to_string(header_length) + " bytes long; the body offset holds at most 65535");
    if (file_size > 0xFFFFFFFFull)
        return refuse("the file is too large for its size item");
    const std::size_t source_length = f.source.size();
    put_le(out, upload_item_at(kFileSize, source_length) + kItemHead, file_size, 4);
    put_le(out, upload_item_at(kBodyChecksum, source_length) + kItemHead, body_checksum(body), 2);
    put_le(out, kBodyOffsetItemAt + kItemHead, header_length, 2);
    auto sum = compute_header_checksum(out);
    if (!sum)
        return sum.error();
    put_le(out, kHeaderChecksumItemAt + kItemHead, *sum, 2);
    out.insert(out.end(), body.begin(), body.end());
    // Built by the same rules it is checked by.
    if (auto checked = check_upload_layout(out, out.size()); !checked)
        return checked.error();
    return out;
}

Result<UploadLayout> check_upload_layout(std::span<const std::uint8_t> bytes, std::optional<std::uint64_t> file_length)
{
    if (bytes.size() < 2 || bytes[0] != kMagic0 || bytes[1] != kMagic1)
        return refuse("the file does not start with a PACSAT header (0xAA 0x55)");
    UploadLayout layout;
    std::size_t pos = 2;
    for (const LayoutItem& item : kUploadLayout) {
        if (bytes.size() - pos < kItemHead)
            return refuse("the header ends at byte " + std::to_string(pos) + ", where " + describe(item.id) + " belongs");
        const unsigned id = le16(&bytes[pos]);
        const std::size_t length = bytes[pos + 2];
        if (id != item.id)
            return refuse("byte " + std::to_string(pos) + " holds " + describe(id) + " where " + describe(item.id) +
                          " belongs");
        if (item.length && length != item.length)
            return refuse(describe(item.id) + " is " + std::to_string(length) + " bytes long, not " +
                          std::to_string(item.length));
        if (!item.length && (length == 0 || length > kMaxAddressText))
            return refuse(describe(item.id) + " is " + std::to_string(length) + " bytes long, not 1 to " +
                          std::to_string(kMaxAddressText));
        if (length > bytes.size() - pos - kItemHead)
            return refuse(describe(item.id) + " runs past the end of the file");
        if (item.id == kSource)
            layout.source_length = length;
        pos += kItemHead + length;
    }
    for (;;) {
        if (bytes.size() - pos < kItemHead)
            return refuse("the header has no terminating item");
        const unsigned id = le16(&bytes[pos]);
        const std::size_t length = bytes[pos + 2];
        pos += kItemHead;
        if (id == kEnd && length == 0)
            break;
        if (id == kEnd || layout_item(id))
            return refuse(describe(id) + " appears again at byte " + std::to_string(pos - kItemHead) +
                          ", after the fixed part of the header");
        if (length > bytes.size() - pos)
            return refuse(describe(id) + " runs past the end of the file");
        pos += length;
    }
    layout.header_length = pos;
    layout.upload_time_item_at = upload_time_item_at(layout.source_length);

    auto sum = compute_header_checksum(bytes.first(pos));
    if (!sum)
        return refuse(sum.error().message);
    const std::uint16_t held = le16(&bytes[kHeaderChecksumItemAt + kItemHead]);
    if (held != *sum)
        return refuse("the header checksum is " + std::to_string(held) + ", the header sums to " + std::to_string(*sum));
    const std::uint16_t body_offset = le16(&bytes[kBodyOffsetItemAt + kItemHead]);
    if (body_offset != pos)
        return refuse("the body offset is " + std::to_string(body_offset) + ", the header is " + std::to_string(pos) +
                      " bytes long");
    if (file_length) {
        const std::uint32_t size = le32(&bytes[upload_item_at(kFileSize, 0) + kItemHead]);
        if (size != *file_length)
            return refuse("the file size item says " + std::to_string(size) + " bytes, the file has " +
                          std::to_string(*file_length));
    }
    return layout;
}

} // namespace orva::pfh
