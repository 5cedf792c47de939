#include "common/pfh/pfh_builder.h"

#include <string>

namespace orva::pfh {
namespace {

struct Writer {
    std::vector<std::uint8_t> out;
    std::size_t checksum_at = 0;

    void head(std::uint16_t id, std::size_t len) {
        out.push_back(std::uint8_t(id & 0xFF));
        out.push_back(std::uint8_t(id >> 8));
        out.push_back(std::uint8_t(len));
    }
    void u(std::uint16_t id, std::uint64_t v, int bytes) {
        head(id, std::size_t(bytes));
        for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
    }
    void bytes(std::uint16_t id, std::span<const std::uint8_t> v) {
        const auto n = v.size() > 255 ? 255 : v.size(); // an item holds at most 255 bytes
        head(id, n);
        out.insert(out.end(), v.begin(), v.begin() + long(n));
    }
    void text(std::uint16_t id, const std::optional<std::string>& s) {
        if (!s) return;
        bytes(id, std::span(reinterpret_cast<const std::uint8_t*>(s->data()), s->size()));
    }
    template <class T>
    void num(std::uint16_t id, const std::optional<T>& v) {
        if (v) u(id, *v, int(sizeof(T)));
    }
};

} // namespace

std::vector<std::uint8_t> build_pfh(const PfhHeader& h) {
    Writer w;
    w.out = {kMagic0, kMagic1};
    w.u(kFileNumber, h.file_number, 4);
    w.text(kFileName, h.file_name);
    w.text(kFileExt, h.file_ext);
    w.num(kFileSize, h.file_size);
    w.num(kCreateTime, h.create_time);
    w.num(kFileType, h.file_type);
    w.num(kBodyChecksum, h.body_checksum);
    w.head(kHeaderChecksum, 2);
    w.checksum_at = w.out.size();
    w.out.push_back(0);
    w.out.push_back(0);
    w.num(kBodyOffset, h.body_offset);
    w.text(kSource, h.source);
    w.text(kAx25Uploader, h.ax25_uploader);
    w.num(kUploadTime, h.upload_time);
    w.num(kDownloadCount, h.download_count);
    w.text(kDestination, h.destination);
    w.num(kExpireTime, h.expire_time);
    w.num(kCompression, h.compression_type);
    w.text(kTitle, h.title);
    w.text(kKeywords, h.keywords);
    w.text(kUserFileName, h.user_file_name);
    if (h.gateway_holes) {
        std::vector<std::uint8_t> v;
        for (const auto& e : *h.gateway_holes) {
            std::string call = e.callsign;
            call.resize(6, ' ');
            v.insert(v.end(), call.begin(), call.end());
            for (int i = 0; i < 4; ++i) v.push_back(std::uint8_t(e.offset >> (8 * i)));
        }
        w.bytes(kGatewayHoles, v);
    }
    for (const auto& item : h.other_items) w.bytes(item.id, item.value);
    w.head(kEnd, 0);

    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < w.out.size(); ++i)
        if (i != w.checksum_at && i != w.checksum_at + 1) sum += w.out[i];
    w.out[w.checksum_at] = std::uint8_t(sum & 0xFF);
    w.out[w.checksum_at + 1] = std::uint8_t((sum >> 8) & 0xFF);
    return w.out;
}

std::vector<std::uint8_t> build_pfh_file(PfhHeader header, std::span<const std::uint8_t> body) {
    // The length does not depend on the values of items 4, 9 and 11, only on their presence.
    header.file_size = 0;
    header.body_checksum = 0;
    header.body_offset = 0;
    const auto length = build_pfh(header).size();
    header.file_size = std::uint32_t(length + body.size());
    header.body_checksum = body_checksum(body);
    header.body_offset = std::uint16_t(length);
    auto out = build_pfh(header);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace orva::pfh
