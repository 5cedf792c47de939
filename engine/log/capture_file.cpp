#include "engine/log/capture_file.h"

#include "engine/link/kiss.h"
#include "engine/link/kiss_encoder.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace orva::engine {
namespace {
std::string capture_name(std::chrono::sys_seconds t, std::string_view extension, const char* format) {
    const auto day = std::chrono::floor<std::chrono::days>(t);
    const std::chrono::year_month_day ymd{day};
    const auto hour = std::chrono::duration_cast<std::chrono::hours>(t - day).count();
    char b[32];
    std::snprintf(b, sizeof b, format, int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()), int(hour));
    return b + std::string(extension);
}
} // namespace

std::string pass_capture_name(std::chrono::sys_seconds t, std::string_view extension) {
    return capture_name(t, extension, "%4d-%02u-%02u-%02d");
}
std::string menu_capture_name(std::chrono::sys_seconds t, std::string_view extension) {
    return capture_name(t, extension, "%d%02u%02u%02d");
}

Status CaptureFile::open(const std::filesystem::path& path) {
    close();
    file_ = std::fopen(path.c_str(), "ab");
    if (!file_) return make_error("cannot open \"" + path.string() + "\": " + std::strerror(errno), errno);
    path_ = path;
    return {};
}

void CaptureFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

Status CaptureFile::write(std::span<const std::uint8_t> bytes) {
    if (!file_) return make_error("capture file not open");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) != 0)
        return make_error("cannot write \"" + path_.string() + "\"");
    return {};
}

Status CaptureFile::write_kiss_frame(std::span<const std::uint8_t> frame) {
    std::vector<std::uint8_t> out{kiss::kFend, kiss::kData};
    kiss_escape(frame, out);
    out.push_back(kiss::kFend);
    return write(out);
}

} // namespace orva::engine
