#include "engine/log/session_log.h"

#include "engine/log/utc_text.h"
#include "common/file_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orva::engine {

const char* upload_reason_text(int reason) {
    switch (reason) {
    case 1: return "File Complete";
    case 2: return "File received with bad header";
    case 3: return "File received with corrupt body";
    case 4: return "Server out of memory";
    case 5: return "Unexpected packet received";
    case 6: return "Disc. without completion";
    default: return "Unknown reason for termination";
    }
}

std::string format_session_block(const SessionFigures& f) {
    if (!f.session_start) return {};
    std::string out;
    char line[256];
    auto add = [&](int n) { out.append(line, std::size_t(std::max(0, std::min<int>(n, sizeof line - 1)))); };
    add(std::snprintf(line, sizeof line, "Session started at %s\r\n", utc_text(*f.session_start).c_str()));
    add(std::snprintf(line, sizeof line, "TOTAL bytes received %8llu\r\n", static_cast<unsigned long long>(f.total_bytes)));
    const auto span = (f.last_heard - *f.session_start).count();
    const long long bps = span > 0 ? static_cast<long long>(f.total_bytes) / span : 0;
    add(std::snprintf(line, sizeof line, "Average BPS          %5lld\r\n", bps));
    add(std::snprintf(line, sizeof line, "Percent EFFICIENCY   %3u\r\n", f.efficiency.value_or(0)));
    if (!f.uploads.empty()) {
        add(std::snprintf(line, sizeof line, "Uploads Made (%zu)\r\n", f.uploads.size()));
        for (const auto& u : f.uploads)
            add(std::snprintf(line, sizeof line, "    %-8X     - %6lld bytes sent in %5lld seconds. UL rate is %5lld. %s\r\n",
                              u.file_number, static_cast<long long>(u.bytes), static_cast<long long>(u.seconds),
                              static_cast<long long>(u.rate), upload_reason_text(u.reason)));
    }
    add(std::snprintf(line, sizeof line, "Session closed at %s\r\n\r\n", utc_text(f.last_heard).c_str()));
    return out;
}

Status append_session_log(const std::filesystem::path& folder, const SessionFigures& figures) {
    const std::string block = format_session_block(figures);
    if (block.empty()) return {};
    const auto path = resolve_file_nocase(folder, "Brek.LOG");
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return make_error("cannot open \"" + path.string() + "\": " + std::strerror(errno), errno);
    const bool ok = std::fwrite(block.data(), 1, block.size(), f) == block.size();
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) return make_error("cannot write \"" + path.string() + "\"");
    return {};
}

} // namespace orva::engine
