// A session's outside world for tests: a manual station clock, satellites kept in memory, and an
// in-process simulated satellite with its upload server on the far side of the TNC bytes, with
// a lossy channel each way.
#pragma once

#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"
#include "engine/session/brek_session.h"
#include "engine/tests/reception_test_util.h"
#include "cli/satsim/channel.h"
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/ftl0/uploaded_file.h"
#include "cli/satsim/satellite.h"

#include <strings.h>

#include <functional>
#include <optional>

namespace orva::engine::test {

struct RefusingClock final : SystemClockSetter {
    Status set_utc(std::chrono::system_clock::time_point) override { return make_error("not permitted"); }
};

// Every status line posted, in order (the session's own ring keeps only twenty).
struct LineLog final : SessionObserver {
    std::vector<StatusLine> lines;
    void on_status_line(const StatusLine& line) override { lines.push_back(line); }
    const StatusLine* find(const std::string& text) const
    {
        for (const auto& l : lines)
            if (l.text.find(text) != std::string::npos)
                return &l;
        return nullptr;
    }
};

struct SimHost final : SessionHost, KissSink {
    std::uint64_t now = 1'700'000'000'000ull;
    std::uint64_t t0 = now; // the satellite's time 0
    std::vector<settings::SatelliteRecord> sats;
    std::vector<std::vector<std::string>> launched;
    RefusingClock clock;
    KissDecoder decoder;
    std::vector<Bytes> uplink;   // AX.25 frames the station sent, not yet delivered
    std::vector<Bytes> sent;     // every AX.25 frame the station sent
    std::vector<Bytes> received; // every AX.25 frame delivered to the station
    std::optional<satsim::Satellite> satellite;
    std::optional<satsim::Ftl0Server> server;
    std::optional<satsim::Channel> down, up;
    bool uplink_open = true; // false: the station's frames never reach the satellite
    // Chosen frames lost on the way, besides the channel's share (true: lost).
    std::function<bool(const Bytes&)> lose_up, lose_down;

    std::uint64_t now_ms() override { return now; }
    Status open_tnc(const settings::SatelliteRecord&) override { return {}; }
    void write_tnc(std::span<const std::uint8_t> b) override { decoder.feed(b, *this); }
    void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame) override
    {
        if (port != 0)
            return;
        uplink.emplace_back(frame.begin(), frame.end());
        sent.emplace_back(frame.begin(), frame.end());
    }
    void close_tnc() override {}
    bool window_exists(const platform::WindowAddress&) override { return false; }
    Status post_message(const platform::WindowAddress&, const platform::WindowMessage&) override { return {}; }
    void set_title(const std::string&) override {}
    Status launch(const std::vector<std::string>& words, platform::ShowMode, const std::filesystem::path&) override
    {
        launched.push_back(words);
        return {};
    }
    std::optional<settings::SatelliteRecord> find_satellite(const std::string& name) override
    {
        for (const auto& s : sats)
            if (strcasecmp(s.name.c_str(), name.c_str()) == 0)
                return s;
        return std::nullopt;
    }
    std::vector<settings::SatelliteRecord> satellites() override { return sats; }
    SystemClockSetter& clock_setter() override { return clock; }
    std::vector<settings::SoundChoice> sounds;
    void play_sound(const settings::SoundChoice& sound) override { sounds.push_back(sound); }

    // The satellite serves `files`; `loss` of the frames is lost each way. `shape` may change
    // the satellite's set-up (its rate, queue lines, real-server habits).
    void serve(std::vector<satsim::ServedFile> files, const std::filesystem::path& upload_folder, double loss = 0,
               std::uint64_t seed = 3, const std::function<void(satsim::SatelliteConfig&)>& shape = {})
    {
        satsim::assign_ranges(files);
        satsim::SatelliteConfig c;
        c.bytes_per_second = 2400;
        c.epoch = std::uint32_t(now / 1000);
        if (shape)
            shape(c);
        t0 = now;
        satellite.emplace(c, std::move(files));
        satsim::Ftl0ServerConfig u;
        u.folder = upload_folder;
        u.epoch = c.epoch;
        u.bbs_call = c.bbs_call;
        u.real_server = c.real_server;
        server.emplace(u);
        const satsim::ChannelConfig d{loss, 0, 0, seed};
        down.emplace(d);
        up.emplace(satsim::uplink_channel_config(d));
    }

    // One step of `step_ms`: the satellite's frames in, the station's frames out, the session polled.
    void step(BrekSession& s, std::uint64_t step_ms = 50)
    {
        now += step_ms;
        const std::uint64_t t = now - t0;
        if (satellite) {
            std::vector<Bytes> out = satellite->poll(t);
            for (auto& f : server->poll(t))
                out.push_back(std::move(f));
            // A finished upload joins the directory, as the satellite files it.
            for (const auto& up : server->take_finished())
                if (auto served = satsim::served_upload(up, std::uint32_t(now / 1000)))
                    satellite->add_file(std::move(*served));
            for (auto& f : out) {
                if (lose_down && lose_down(f))
                    continue;
                for (auto& g : down->pass(std::move(f))) {
                    received.push_back(g);
                    s.feed_tnc(encode_kiss_frame(g, 0, false));
                }
            }
            auto pending = std::move(uplink);
            uplink.clear();
            for (auto& f : pending) {
                if (!uplink_open || (lose_up && lose_up(f)))
                    continue;
                for (auto& g : up->pass(std::move(f))) {
                    satellite->on_uplink_frame(g, t);
                    server->on_uplink_frame(g, t);
                }
            }
        }
        s.poll();
    }
    void run(BrekSession& s, std::uint64_t ms)
    {
        for (std::uint64_t done = 0; done < ms; done += 50)
            step(s);
    }
    bool run_until(BrekSession& s, const std::function<bool()>& done, std::uint64_t limit_ms)
    {
        for (std::uint64_t t = 0; t < limit_ms && !done(); t += 50)
            step(s);
        return done();
    }
};

// The satellite "AO-16" of the simulated sessions, its files kept in `sat_dir`; the served
// folder of uploads beside it.
inline settings::SatelliteRecord sim_satellite(const std::filesystem::path& root, const std::filesystem::path& sat_dir)
{
    std::filesystem::create_directories(sat_dir);
    std::filesystem::create_directories(root / "served");
    auto r = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, root.string());
    r.satellite_directory = sat_dir.string();
    r.bbs_callsign = "PACSAT-12";
    r.bdcst_callsign = "PACSAT-11";
    r.run_dispo = 0;
    r.proc_threshold = 0;
    return r;
}

// Download selection equations that want every file.
inline void want_every_file(const std::filesystem::path& sat_dir)
{
    const std::string equations = "[AUTO]\n{ FILESIZE > 1 }\n";
    write_bytes(sat_dir / "Brek Equations.TXT", Bytes(equations.begin(), equations.end()));
}

inline Bytes pattern_of(std::size_t n, std::uint32_t seed)
{
    std::mt19937 g(seed);
    Bytes b(n);
    for (auto& x : b)
        x = std::uint8_t(g());
    return b;
}

// A served file with a real header and a body of a pattern.
inline satsim::ServedFile served_file(std::uint32_t fn, std::size_t body_size, std::uint32_t upload_time,
                                      const std::string& title, const std::string& to = "ALL",
                                      const std::string& from = "W1AW")
{
    auto h = header_for(fn, title, to, from);
    h.upload_time = upload_time;
    h.file_type = 3;
    Bytes body(body_size);
    for (std::size_t b = 0; b < body_size; ++b)
        body[b] = std::uint8_t((b * 7 + fn) & 0xFF);
    satsim::ServedFile f;
    f.file_number = fn;
    f.file_type = 3;
    f.upload_time = upload_time;
    f.bytes = pfh::build_pfh_file(h, body);
    f.header_length = f.bytes.size() - body_size;
    return f;
}

} // namespace orva::engine::test
