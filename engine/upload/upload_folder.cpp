#include "engine/upload/upload_folder.h"

#include "common/file_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orva::engine {
namespace {
namespace fs = std::filesystem;

bool has_extension(const fs::path& p, std::string_view ext) {
    return equal_ignoring_case(p.extension().string(), ext);
}

// The whole stem must be the hexadecimal file number.
std::optional<std::uint32_t> pul_number(const fs::path& p) {
    const std::string stem = p.stem().string();
    if (stem.empty() || stem.size() > 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : stem) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return std::nullopt;
        v = v << 4 | std::uint32_t(d);
    }
    if (v == 0) return std::nullopt;
    return v;
}
} // namespace

bool UploadFolder::has_waiting() const {
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        if (has_extension(it->path(), ".PUL") || has_extension(it->path(), ".OUT")) return true;
    }
    return false;
}

std::optional<QueuedUpload> UploadFolder::choose(const std::set<fs::path>& skip) const {
    std::optional<QueuedUpload> pul, out;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2) || skip.count(it->path())) continue;
        const std::uint64_t size = it->file_size(e2);
        if (e2) continue;
        if (has_extension(it->path(), ".PUL")) {
            const auto number = pul_number(it->path());
            if (!number || size >= kLargestPul) continue;
            if (!pul || size < pul->length || (size == pul->length && it->path() < pul->path))
                pul = QueuedUpload{it->path(), *number, size};
        } else if (has_extension(it->path(), ".OUT")) {
            if (!out || size < out->length || (size == out->length && it->path() < out->path))
                out = QueuedUpload{it->path(), 0, size};
        }
    }
    if (pul && (pul->length < kPulPreferredBelow || !out || out->length >= pul->length)) return pul;
    return out;
}

Status UploadFolder::rename_new(const fs::path& from, const fs::path& to) const {
    std::error_code ec;
    if (fs::exists(to, ec)) return make_error("\"" + to.string() + "\" already exists");
    fs::rename(from, to, ec);
    if (ec) return make_error("cannot rename \"" + from.string() + "\": " + ec.message(), ec.value());
    return {};
}

Result<fs::path> UploadFolder::rename_extension(const fs::path& file, std::string_view extension) const {
    fs::path to = file;
    to.replace_extension(fs::path(std::string(extension)));
    if (auto s = rename_new(file, to); !s) return s.error();
    return to;
}

Result<fs::path> UploadFolder::rename_to_pul(const fs::path& file, std::uint32_t file_number) const {
    const fs::path to = file.parent_path() / file_number_name(file_number, ".PUL");
    if (to == file) return to;
    if (auto s = rename_new(file, to); !s) return s.error();
    return to;
}

} // namespace orva::engine
