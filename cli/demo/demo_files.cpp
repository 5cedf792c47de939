#include "cli/demo/demo_files.h"

#include "common/pfh/upload_layout.h"

namespace orva::tools {

std::vector<DemoFile> demo_satellite_files()
{
    std::string lines;
    for (int i = 1; i <= 40; ++i)
        lines += "Line " + std::to_string(i) + " of the long bulletin: enough text to need several fragments.\r\n";
    return {
        {"WELCOME.TXT",
         "Welcome aboard the Orva demonstration satellite.\r\n"
         "This file came down as broadcast fragments; your station asked for the missing parts\r\n"
         "and put them together. Upload a message and it shows up in the directory next pass.\r\n"},
        {"NEWS.TXT",
         "Station news\r\n------------\r\n"
         "The simulated downlink loses a few frames on purpose, so that the hole lists and the\r\n"
         "fill requests have work to do.\r\n"},
        {"BULLETIN.TXT", lines},
    };
}

Result<std::vector<std::uint8_t>> demo_upload_message(const std::string& callsign, std::uint32_t now)
{
    std::string body = "Hello from " + callsign +
                       ".\r\nThis message was queued by orva demo and sent with FTL0 during the pass.\r\n73\r\n";
    pfh::UploadHeaderFields h;
    h.file_name = "DEMO";
    h.file_ext = "TXT";
    h.file_type = 0;
    h.create_time = now;
    h.last_modified_time = now;
    h.source = callsign;
    h.ax25_uploader = callsign.substr(0, callsign.find('-')).substr(0, 6);
    h.destination = "ALL";
    h.title = "Greetings from the demo station";
    h.compression_type = 0;
    return pfh::build_upload_file(h, std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
}

} // namespace orva::tools
