#include "engine/upload/upload_header.h"

#include "common/pfh/pfh.h"

#include <optional>

namespace orva::engine {

Result<std::vector<std::uint8_t>> stamp_upload_header(std::span<const std::uint8_t> start, std::uint32_t file_number)
{
    if (start.size() < 2 || start[0] != pfh::kMagic0 || start[1] != pfh::kMagic1)
        return make_error("the upload file does not start with a PACSAT header");
    std::optional<std::size_t> number_at, checksum_at;
    std::size_t pos = 2;
    for (;;) {
        if (start.size() - pos < 3)
            return make_error("the upload file's header has no terminating item");
        const std::uint8_t id_low = start[pos];
        const std::uint8_t id_high = start[pos + 1];
        const std::uint8_t len = start[pos + 2];
        pos += 3;
        if (id_low == 0 && id_high == 0 && len == 0)
            break;
        if (len > start.size() - pos)
            return make_error("an item of the upload file's header runs past its end");
        if (id_high == 0 && id_low == pfh::kFileNumber && len == 4)
            number_at = pos;
        if (id_high == 0 && id_low == pfh::kHeaderChecksum && len == 2)
            checksum_at = pos;
        pos += len;
    }
    if (!number_at)
        return make_error("the upload file's header has no file number");
    std::vector<std::uint8_t> header(start.begin(), start.begin() + std::ptrdiff_t(pos));
    for (int i = 0; i < 4; ++i)
        header[*number_at + std::size_t(i)] = std::uint8_t(file_number >> (8 * i));
    if (checksum_at) {
        auto sum = pfh::compute_header_checksum(header);
        if (!sum)
            return sum.error();
        header[*checksum_at] = std::uint8_t(*sum);
        header[*checksum_at + 1] = std::uint8_t(*sum >> 8);
    }
    return header;
}

} // namespace orva::engine
