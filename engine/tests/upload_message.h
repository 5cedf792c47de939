// Upload queue files for tests: what the message composer writes (a header in the standard upload
// layout, then the body), and the same file as the station sends it once the server has numbered it.
#pragma once

#include "common/pfh/upload_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orva::engine::test {

inline std::vector<std::uint8_t> upload_message(std::span<const std::uint8_t> body, const std::string& source = "G0ABC",
                                                const std::string& title = "Test message")
{
    pfh::UploadHeaderFields h;
    h.file_name = "MSG";
    h.file_ext = "TXT";
    h.create_time = 1'700'000'000;
    h.last_modified_time = 1'700'000'000;
    h.source = source;
    h.ax25_uploader = source.substr(0, source.find('-')).substr(0, 6);
    h.destination = "ALL";
    h.expire_time = 1'700'000'000 + 7 * 86400;
    h.compression_type = 0;
    h.title = title;
    auto file = pfh::build_upload_file(h, body);
    EXPECT_TRUE(file) << file.error().message;
    return file ? *file : std::vector<std::uint8_t>{};
}

// `file` with the server's number in item 1 and the header checksum made right, as sent.
inline std::vector<std::uint8_t> numbered_upload(std::vector<std::uint8_t> file, std::uint32_t file_number)
{
    auto layout = pfh::check_upload_layout(file, file.size());
    EXPECT_TRUE(layout) << layout.error().message;
    if (!layout)
        return file;
    for (int i = 0; i < 4; ++i)
        file[pfh::kFileNumberItemAt + pfh::kItemHead + std::size_t(i)] = std::uint8_t(file_number >> (8 * i));
    const auto sum = pfh::compute_header_checksum(std::span(file).first(layout->header_length));
    EXPECT_TRUE(sum);
    if (sum) {
        file[pfh::kHeaderChecksumItemAt + pfh::kItemHead] = std::uint8_t(*sum);
        file[pfh::kHeaderChecksumItemAt + pfh::kItemHead + 1] = std::uint8_t(*sum >> 8);
    }
    return file;
}

} // namespace orva::engine::test
