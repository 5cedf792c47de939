// The ".KSS" raw KISS capture and the ".TLM" telemetry capture. Both are appended to: a second
// pass within the same hour adds to the hour's file instead of writing over its start.
#pragma once

#include "platform/result.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace orva::engine {

// "%4d-%02d-%02d-%02d" + extension: the name of a capture opened at pass start.
std::string pass_capture_name(std::chrono::sys_seconds t, std::string_view extension);
// "%d%02d%02d%02d" + extension: the name of a capture switched on from the File menu.
std::string menu_capture_name(std::chrono::sys_seconds t, std::string_view extension);

class CaptureFile {
public:
    CaptureFile() = default;
    ~CaptureFile() { close(); }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    Status open(const std::filesystem::path& path);
    void close();
    bool is_open() const { return file_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }

    Status write(std::span<const std::uint8_t> bytes);
    // C0 00, the frame with C0 and DB escaped, C0.
    Status write_kiss_frame(std::span<const std::uint8_t> frame);

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
};

} // namespace orva::engine
