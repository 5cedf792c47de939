// "Dispo Error Log.TXT" in the suite folder: one line per error, the file opened, appended and
// closed each time so that overlapping runs interleave whole lines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace orva::mailproc {

inline constexpr const char* error_log_name = "Dispo Error Log.TXT";

// "%-12s %8lX  %s\n": the satellite name, the file number in hex, the message.
std::string error_log_line(std::string_view satellite, std::uint32_t file_number, std::string_view message);

class ErrorLog {
public:
    explicit ErrorLog(std::filesystem::path file) : file_(std::move(file)) {}
    Status append(std::string_view satellite, std::uint32_t file_number, std::string_view message) const;
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

} // namespace orva::mailproc
