#include "cli/demo/demo_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "cli/hash/sha256.h"

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
// The satellite files an upload under the number its go answer gave, and the station writes
// that number into the header it sends (its own copy keeps 0): so the filed copy is the message
// with the header's file number and checksum changed, or, for a message without a header, the
// message itself.
bool same_upload(const std::vector<std::uint8_t>& message, const std::vector<std::uint8_t>& filed,
                 const std::string& number_text)
{
    if (filed == message)
        return true;
    if (filed.size() != message.size())
        return false;
    pfh::ParseOptions queued;
    queued.allow_zero_file_number = true;
    const auto sent = pfh::parse_pfh(message, queued);
    const auto held = pfh::parse_pfh(filed);
    if (!sent || !held || sent->header_length != held->header_length)
        return false;
    char* end = nullptr;
    const unsigned long number = std::strtoul(number_text.c_str(), &end, 16);
    if (end == number_text.c_str() || *end != '\0' || held->file_number != number)
        return false;
    if (!std::equal(message.begin() + std::ptrdiff_t(sent->header_length), message.end(),
                    filed.begin() + std::ptrdiff_t(held->header_length)))
        return false;
    std::size_t differ = 0;
    for (std::size_t i = 0; i < sent->header_length; ++i)
        differ += message[i] != filed[i];
    return differ <= 6; // four bytes of file number, two of checksum
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


UploadCheck check_upload(const std::vector<std::uint8_t>& message, const fs::path& satsim_dir,
                         const fs::path& satellite_dir)
{
    UploadCheck c;
    const std::string want = sha256_hex(message);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(satsim_dir, ec)) {
        if (upper_extension(e.path()) != ".UPL")
            continue;
        if (auto bytes = read_file(e.path()); bytes && same_upload(message, *bytes, e.path().stem().string()))
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
