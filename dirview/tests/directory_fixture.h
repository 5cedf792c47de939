// Satellite directories made on disk for the model's tests and benchmark: headers built with the
// shared header code, directory files, a status table and the satellite's folders.
#pragma once

#include "common/pfh/pfh_builder.h"
#include "dirview/directory_config.h"
#include "dirview/directory_reader.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace orva::dirview::testing {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orva-dirview-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline pfh::PfhHeader header(std::uint32_t file_number, std::uint32_t upload_time = 1'700'000'000)
{
    pfh::PfhHeader h;
    h.file_number = file_number;
    h.file_name = "FILE    ";
    h.file_ext = "TXT";
    h.file_size = 1000;
    h.file_type = 0;
    h.source = "G0ABC";
    h.destination = "ALL";
    h.upload_time = upload_time;
    h.expire_time = upload_time + 86400 * 10;
    h.download_count = 3;
    h.compression_type = 0;
    h.title = "Hello";
    h.keywords = "TEST";
    return h;
}

inline Bytes bytes_of(const pfh::PfhHeader& h) { return pfh::build_pfh(h); }

inline void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

inline void write_file(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A satellite called TESTSAT with every folder under `root`.
inline DirectoryConfig make_config(const std::filesystem::path& root, std::string callsign = "W1ME")
{
    DirectoryConfig c;
    c.satellite = "TESTSAT";
    c.callsign = std::move(callsign);
    auto folder = [&](const char* name) {
        auto p = root / name;
        std::filesystem::create_directories(p);
        return p;
    };
    c.folders.satellite = folder("sat");
    c.folders.message = folder("msg");
    c.folders.my_message = folder("mymsg");
    c.folders.image = folder("img");
    c.folders.unknown = folder("unk");
    c.folders.keps = folder("keps");
    c.folders.bbs = folder("bbs");
    c.folders.binary = folder("bin");
    c.suite_dir = folder("suite");
    return c;
}

// Writes `headers` into directory files of about 25000 bytes each, numbered from 0.
inline int write_directory(const std::filesystem::path& sat, const std::vector<pfh::PfhHeader>& headers)
{
    int number = 0;
    Bytes file;
    for (const auto& h : headers) {
        append(file, bytes_of(h));
        if (file.size() > 25000) {
            write_file(sat / directory_file_name(number++), file);
            file.clear();
        }
    }
    if (!file.empty())
        write_file(sat / directory_file_name(number++), file);
    return number;
}

// A status table of 12-byte records {file number, time, status} written the way the engine does.
inline void write_status_table(const std::filesystem::path& sat,
                               const std::vector<std::pair<std::uint32_t, std::uint8_t>>& records)
{
    Bytes table(12000, 0);
    for (std::size_t i = 0; i < records.size() && i < 1000; ++i) {
        const auto [n, status] = records[i];
        for (int k = 0; k < 4; ++k) {
            table[i * 12 + k] = std::uint8_t(n >> (8 * k));
            table[i * 12 + 4 + k] = std::uint8_t((1'700'000'000u + i) >> (8 * k));
        }
        table[i * 12 + 8] = status;
    }
    write_file(sat / "Brek File Info.DAT", table);
}

} // namespace orva::dirview::testing
