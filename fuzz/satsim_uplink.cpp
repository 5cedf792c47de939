// Frames heard on the simulated satellite's uplink, now that a real TNC can put any bytes there:
// the broadcast server and the upload server, in both modes, must take anything without harm.
// The input is a run of frames, each a length byte and that many bytes.
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/satellite.h"

#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orva::satsim;
    static const std::filesystem::path folder = [] {
        auto p = std::filesystem::temp_directory_path() / "fuzz-satsim-uplink";
        std::filesystem::create_directories(p);
        return p;
    }();
    const bool real = size > 0 && (data[0] & 1);
    SatelliteConfig c;
    c.real_server = real;
    ServedFile f;
    f.file_number = 0x100;
    f.bytes.assign(300, 0x55);
    f.header_length = 40;
    Satellite sat(c, {f});
    Ftl0ServerConfig u;
    u.folder = folder;
    u.real_server = real;
    u.first_number = 0x900;
    Ftl0Server server(u);
    std::uint64_t t = 0;
    for (std::size_t at = 1; at < size;) {
        const std::size_t n = std::min<std::size_t>(data[at], size - at - 1);
        const std::span<const std::uint8_t> frame(data + at + 1, n);
        at += 1 + n;
        sat.on_uplink_frame(frame, t);
        server.on_uplink_frame(frame, t);
        t += 500;
        for (const auto& out : sat.poll(t))
            if (out.size() < 16 || out.size() > 400) std::abort();
        for (const auto& out : server.poll(t))
            if (out.size() < 15) std::abort();
    }
    return 0;
}
