#include "tools/demo/demo_check.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "tools/hash/sha256.h"

namespace orva::tools {

namespace fs = std::filesystem;

namespace {
std::string upper_extension(const fs::path& p)
{
    std::string e = p.extension().string();
    for (char& c : e)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return e;
}
} // namespace

Result<std::vector<ManifestEntry>> parse_manifest(const std::string& text)
{
    std::vector<ManifestEntry> out;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (line.empty())
            continue;
        std::istringstream fields(line);
        std::string number;
        ManifestEntry e;
        if (!(fields >> number >> e.size >> e.sha256) || e.sha256.size() != 64)
            return make_error("manifest line " + std::to_string(n) + " is not \"number size sha256\"");
        char* end = nullptr;
        e.file_number = std::uint32_t(std::strtoul(number.c_str(), &end, 16));
        if (*end != 0 || e.file_number == 0)
            return make_error("manifest line " + std::to_string(n) + ": \"" + number + "\" is not a file number");
        out.push_back(e);
    }
    return out;
}

std::vector<DownloadCheck> check_downloads(const std::vector<ManifestEntry>& manifest, const fs::path& satellite_dir)
{
    std::vector<DownloadCheck> out;
    for (const ManifestEntry& m : manifest) {
        DownloadCheck c;
        c.expected = m;
        char name[16];
        std::snprintf(name, sizeof name, "%X.DL", unsigned(m.file_number));
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(satellite_dir, ec)) {
            std::string f = e.path().filename().string();
            for (char& ch : f)
                ch = char(std::toupper(static_cast<unsigned char>(ch)));
            if (f != name)
                continue;
            auto bytes = read_file(e.path());
            if (!bytes)
                break;
            c.path = e.path();
            c.sha256 = sha256_hex(*bytes);
            pfh::ParseOptions lenient;
            lenient.check_header_checksum = false;
            if (auto h = pfh::parse_pfh(*bytes, lenient)) {
                c.name = h->display_name();
                while (!c.name.empty() && c.name.back() == ' ')
                    c.name.pop_back();
            }
            break;
        }
        out.push_back(std::move(c));
    }
    return out;
}

namespace {
// The station writes the number of the server's go answer into the header it sends (and makes
// the header checksum right): the stored upload is the queued message with those two values
// changed and nothing else.
bool same_upload(const std::vector<std::uint8_t>& message, const std::vector<std::uint8_t>& stored)
{
    if (stored.size() != message.size() || message.size() < 2 || message[0] != 0xAA || message[1] != 0x55)
        return false;
    auto h = pfh::parse_pfh(stored);
    if (!h)
        return false;
    std::vector<std::uint8_t> expected = message;
    for (std::size_t pos = 2; pos + 3 <= expected.size();) {
        const std::uint8_t id = expected[pos], high = expected[pos + 1], len = expected[pos + 2];
        pos += 3;
        if (id == 0 && high == 0 && len == 0)
            break;
        if (high == 0 && (id == 1 || id == 10) && pos + len <= expected.size())
            std::copy(stored.begin() + std::ptrdiff_t(pos), stored.begin() + std::ptrdiff_t(pos + len),
                      expected.begin() + std::ptrdiff_t(pos));
        pos += len;
    }
    return expected == stored;
}
} // namespace

UploadCheck check_upload(const std::vector<std::uint8_t>& message, const fs::path& satsim_dir,
                         const fs::path& satellite_dir)
{
    UploadCheck c;
    const std::string want = sha256_hex(message);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(satsim_dir, ec)) {
        if (upper_extension(e.path()) != ".UPL")
            continue;
        if (auto bytes = read_file(e.path()); bytes && (sha256_hex(*bytes) == want || same_upload(message, *bytes)))
            c.on_satellite = e.path();
    }
    for (const auto& e : fs::directory_iterator(satellite_dir, ec)) {
        std::string ext = upper_extension(e.path());
        if (ext == ".UL") {
            if (auto bytes = read_file(e.path()); bytes && sha256_hex(*bytes) == want)
                c.sent = e.path();
        } else if (ext == ".OUT" || ext == ".PUL") {
            c.still_queued.push_back(e.path());
        }
    }
    return c;
}

} // namespace orva::tools
