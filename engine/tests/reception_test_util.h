// Helpers of the reception tests: temporary folders, headers, fragments and a status list.
#pragma once

#include "common/pfh/pfh_builder.h"
#include "engine/frames/broadcast_frames.h"
#include "engine/link/status_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace orva::engine::test {

using Bytes = std::vector<std::uint8_t>;

class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("orva-rx-" + std::to_string(rd()) + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        if (std::getenv("ORVA_KEEP_TEST_DIR"))
            return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline Bytes read_bytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void write_bytes(const std::filesystem::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

struct Lines : StatusSink {
    std::vector<std::string> lines;
    void post(std::string text, LineColour) override { lines.push_back(std::move(text)); }
    bool has(const std::string& s) const
    {
        for (const auto& l : lines)
            if (l.find(s) != std::string::npos)
                return true;
        return false;
    }
};

inline pfh::PfhHeader header_for(std::uint32_t file_number, std::string title = "TEST", std::string dest = "",
                                 std::string source = "G0AAA")
{
    pfh::PfhHeader h;
    h.file_number = file_number;
    h.file_name = "TESTFILE";
    h.file_ext = "TXT";
    h.file_type = 0;
    h.source = source;
    h.destination = dest;
    h.title = title;
    h.upload_time = 1000;
    return h;
}

// A whole file with a real header and `body_size` body bytes of a pattern.
inline Bytes file_with_body(std::uint32_t file_number, std::size_t body_size)
{
    Bytes body(body_size);
    for (std::size_t i = 0; i < body_size; ++i)
        body[i] = std::uint8_t((i * 131 + file_number) & 0xFF);
    return pfh::build_pfh_file(header_for(file_number), body);
}

inline FileFragment file_fragment(std::uint32_t fn, std::uint32_t offset, std::span<const std::uint8_t> data,
                                  bool last = false, std::uint8_t type = 0)
{
    FileFragment f;
    f.flags = std::uint8_t(0x02 | (last ? 0x20 : 0));
    f.file_number = fn;
    f.file_type = type;
    f.offset = offset;
    f.data = data;
    return f;
}

inline DirectoryFragment dir_fragment(std::uint32_t fn, std::uint32_t offset, std::span<const std::uint8_t> data,
                                      bool last, std::uint32_t t_old, std::uint32_t t_new, bool newest = false)
{
    DirectoryFragment f;
    f.flags = std::uint8_t((last ? 0x20 : 0) | (newest ? 0x40 : 0));
    f.file_number = fn;
    f.offset = offset;
    f.t_old = t_old;
    f.t_new = t_new;
    f.data = data;
    return f;
}

} // namespace orva::engine::test
