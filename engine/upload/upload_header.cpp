#include "engine/upload/upload_header.h"

#include <algorithm>
#include <fstream>

namespace orva::engine {

Result<pfh::UploadLayout> check_upload_file(const std::filesystem::path& path, std::uint64_t length)
{
    // A header is at most 65535 bytes: its length is item 11's value.
    std::vector<std::uint8_t> start(std::size_t(std::min<std::uint64_t>(length, 0x10000)));
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return make_error("cannot open the file");
    in.read(reinterpret_cast<char*>(start.data()), std::streamsize(start.size()));
    start.resize(std::size_t(in.gcount()));
    return pfh::check_upload_layout(start, length);
}

Result<std::vector<std::uint8_t>> stamp_upload_header(std::span<const std::uint8_t> start, std::uint32_t file_number)
{
    auto layout = pfh::check_upload_layout(start);
    if (!layout)
        return layout.error();
    std::vector<std::uint8_t> header(start.begin(), start.begin() + std::ptrdiff_t(layout->header_length));
    const std::size_t number_at = pfh::kFileNumberItemAt + pfh::kItemHead;
    for (int i = 0; i < 4; ++i)
        header[number_at + std::size_t(i)] = std::uint8_t(file_number >> (8 * i));
    auto sum = pfh::compute_header_checksum(header);
    if (!sum)
        return sum.error();
    const std::size_t sum_at = pfh::kHeaderChecksumItemAt + pfh::kItemHead;
    header[sum_at] = std::uint8_t(*sum);
    header[sum_at + 1] = std::uint8_t(*sum >> 8);
    return header;
}

} // namespace orva::engine
