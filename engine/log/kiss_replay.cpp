#include "engine/log/kiss_replay.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orva::engine {

Result<std::uint64_t> replay_kiss_capture(const std::filesystem::path& file,
                                          const std::function<void(std::span<const std::uint8_t>)>& feed,
                                          std::size_t chunk) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return make_error("cannot open \"" + file.string() + "\": " + std::strerror(errno), errno);
    std::vector<std::uint8_t> buffer(chunk ? chunk : 4096);
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
        if (n > 0) {
            total += n;
            feed(std::span(buffer.data(), n));
        }
        if (n < buffer.size()) break;
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return make_error("cannot read \"" + file.string() + "\"");
    return total;
}

} // namespace orva::engine
