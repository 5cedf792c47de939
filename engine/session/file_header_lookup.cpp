#include "engine/session/file_header_lookup.h"

#include "engine/directory/directory_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace orva::engine {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLongestHeader = 4096; // more than any header the satellites send

std::optional<pfh::PfhHeader> newest_in(const fs::path& file, std::uint32_t file_number)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::optional<pfh::PfhHeader> found;
    std::size_t at = 0;
    while (at < bytes.size()) {
        auto h = pfh::parse_pfh(std::span(bytes).subspan(at), {.check_header_checksum = false});
        if (!h || h->header_length == 0)
            break; // a damaged tail: the entries before it still count
        if (h->file_number == file_number)
            found = std::move(*h);
        at += h->header_length;
    }
    return found;
}

} // namespace

std::optional<pfh::PfhHeader> find_directory_header(const fs::path& folder, std::uint32_t file_number)
{
    std::vector<std::pair<int, fs::path>> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (auto n = directory_file_number(it->path().filename().string()))
            files.emplace_back(*n, it->path());
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [n, path] : files)
        if (auto h = newest_in(path, file_number))
            return h;
    return std::nullopt;
}

std::optional<pfh::PfhHeader> read_partial_header(int fd, const HoleList& holes, std::uint32_t file_number)
{
    if (fd < 0)
        return std::nullopt;
    std::size_t have = kLongestHeader;
    if (!holes.empty())
        have = std::min<std::size_t>(have, holes.holes().front().start);
    if (have == 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(have);
    const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), 0);
    if (n <= 0)
        return std::nullopt;
    bytes.resize(std::size_t(n));
    auto h = pfh::parse_pfh(bytes, {.check_header_checksum = false});
    if (!h || h->file_number != file_number)
        return std::nullopt;
    return std::move(*h);
}

} // namespace orva::engine
