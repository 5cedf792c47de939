#include "testbed/soak/soak_files.h"

#include <cstdio>
#include <random>

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "common/pfh/upload_layout.h"

namespace orva::soak {

namespace fs = std::filesystem;

namespace {
std::string eight(std::string s)
{
    s.resize(8, ' ');
    return s;
}
} // namespace

std::vector<std::uint8_t> others_file(std::uint32_t number, std::uint32_t upload_time, std::uint32_t body_size,
                                      bool corrupt, std::uint64_t seed)
{
    static const char* const words[] = {"pass", "orbit", "beacon", "station", "antenna", "packet", "downlink",
                                        "uplink", "weather", "contest", "net", "report", "73", "QSL"};
    std::mt19937_64 random(seed ^ number);
    std::string body;
    char head[96];
    std::snprintf(head, sizeof head, "Bulletin %X from another station.\r\n", unsigned(number));
    body = head;
    std::size_t column = 0;
    while (body.size() < body_size) {
        const char* w = words[random() % std::size(words)];
        body += w;
        column += std::char_traits<char>::length(w) + 1;
        if (column > 70) {
            body += "\r\n";
            column = 0;
        } else {
            body += ' ';
        }
    }
    body.resize(body_size);
    pfh::PfhHeader h;
    h.file_number = number;
    char name[16];
    std::snprintf(name, sizeof name, "S%07X", unsigned(number) & 0xFFFFFFF);
    h.file_name = eight(name);
    h.file_ext = "TXT";
    h.file_type = 0;
    h.create_time = upload_time - 60;
    h.upload_time = upload_time;
    h.source = "G" + std::to_string(number % 10) + "OTH";
    h.destination = "ALL";
    h.title = std::string(name) + " news";
    h.download_count = 0;
    h.expire_time = 0;
    h.compression_type = 0;
    std::vector<std::uint8_t> file =
        pfh::build_pfh_file(h, std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
    if (corrupt && body_size > 0)
        file[file.size() - 1 - body_size / 2] ^= 0x20; // the header still checks; the body does not
    return file;
}

std::vector<std::uint8_t> station_message(const std::string& callsign, std::uint32_t now, int index,
                                          std::uint32_t body_size)
{
    char head[256];
    std::snprintf(head, sizeof head,
                  "Message %d from %s, queued at %u for the soak's upload count.\r\nEach one must reach the "
                  "satellite once, and once only.\r\n",
                  index, callsign.c_str(), unsigned(now));
    std::string text = head;
    // A longer message takes long enough on the uplink for a fault to strike while it goes.
    for (int line = 1; text.size() + 6 < body_size; ++line)
        text += "Line " + std::to_string(line) + " of message " + std::to_string(index) + ", still on its way up.\r\n";
    text += "73\r\n";
    // As the composer queues it: the header in the layout the satellite writes into.
    pfh::UploadHeaderFields h;
    char name[16];
    std::snprintf(name, sizeof name, "MSG%05d", index % 100000);
    h.file_name = name;
    h.file_ext = "TXT";
    h.file_type = 0;
    h.create_time = now;
    h.last_modified_time = now;
    h.source = callsign;
    h.ax25_uploader = callsign.substr(0, callsign.find('-')).substr(0, 6);
    h.destination = "ALL";
    h.title = "Soak message " + std::to_string(index);
    h.compression_type = 0;
    auto file = pfh::build_upload_file(h, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return file ? std::move(*file) : std::vector<std::uint8_t>{};
}

std::uint32_t highest_file_number(const fs::path& folder)
{
    std::uint32_t highest = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (!e.is_regular_file())
            continue;
        auto bytes = read_file(e.path());
        if (!bytes)
            continue;
        pfh::ParseOptions lenient;
        lenient.check_header_checksum = false;
        if (auto h = pfh::parse_pfh(*bytes, lenient))
            highest = std::max(highest, h->file_number);
    }
    return highest;
}

} // namespace orva::soak
