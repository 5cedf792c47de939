// The directory files "Brek%04d.PFH": whole headers back to back, appended to the highest-numbered
// file and rolled over past 25000 bytes. A header is written with one write call; one torn by a
// crash is found when the file is opened again and cut off, so the file always ends on a header.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace orva::engine {

inline constexpr std::uint64_t kDirectoryFileRollover = 25000;

// "Brek0003.PFH" for 3.
std::string directory_file_name(int number);
// The number of a name such as "brek0012.pfh", or none.
std::optional<int> directory_file_number(std::string_view name);

class DirectoryFile {
public:
    struct Opened;
    // Opens the highest-numbered file for appending (0 when there is none).
    static Result<Opened> open(const std::filesystem::path& folder);

    DirectoryFile(DirectoryFile&&) noexcept;
    DirectoryFile& operator=(DirectoryFile&&) noexcept;
    DirectoryFile(const DirectoryFile&) = delete;
    ~DirectoryFile();

    Status append(std::span<const std::uint8_t> header);
    void flush();

    int number() const { return number_; }
    std::uint64_t size() const { return size_; }
    std::filesystem::path path() const { return folder_ / directory_file_name(number_); }

private:
    DirectoryFile(std::filesystem::path folder, int number, int fd, std::uint64_t size)
        : folder_(std::move(folder)), number_(number), fd_(fd), size_(size) {}
    Status open_number(int number);
    void close_fd();

    std::filesystem::path folder_;
    int number_ = 0;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

struct DirectoryFile::Opened {
    DirectoryFile file;
    std::optional<std::string> notice; // a torn tail cut, or a damaged file left alone
};

// How far `bytes` holds complete headers back to back. `torn` when what follows is the start
// of a header cut short; `damaged` when it is not a header at all.
struct HeaderScan {
    std::size_t good = 0;
    bool torn = false;
    bool damaged = false;
    std::size_t headers = 0;
};
HeaderScan scan_directory_bytes(std::span<const std::uint8_t> bytes);

} // namespace orva::engine
