// The rotator control under test: a store with one satellite, a manual clock, hooks that record
// what the operator is told, and ports or daemons the test provides.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "common/settings/keys.h"
#include "platform/serial_port.h"
#include "station/radio/hamlib_driver.h"
#include "station/rotator/gs232.h"
#include "station/rotator/rig_control.h"
#include "station/tests/rig_fixture.h"
#include "station/tests/rig_peers.h"

namespace orva::station::testing {

namespace fs = std::filesystem;

struct Recorder {
    Waitable waitable;
    std::vector<std::string> logs;
    std::vector<std::pair<std::string, std::string>> warnings;
    int sounds = 0;
    std::vector<RotorPosition> positions;
    std::vector<TrackReport> reports;
};

struct RigFixture : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("orva-rig-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::optional<platform::Store> store;
    std::unique_ptr<platform::ManualClock> clock;
    Recorder rec;
    std::optional<std::int64_t> next_pass;
    std::string port_path = "/nonexistent/tty";
    HamlibConfig hamlib;

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
        std::string key = std::string(settings::keys::satellites) + "\\AO-7";
        ASSERT_TRUE(store->write_string(key, "Name", "AO-7").ok());
        write_double(key, "Uplink 1", 145.9);
        write_double(key, "Uplink 2", 145.95);
        write_double(key, "Downlink 1", 435.8);
        ASSERT_TRUE(store->write_integer(key, "Uplink Mode", 0).ok());
        ASSERT_TRUE(store->write_integer(key, "Downlink Mode", 3).ok());
    }
    void TearDown() override { fs::remove_all(dir); }
    void write_double(const std::string& key, const std::string& name, double v)
    {
        std::uint8_t b[8];
        std::memcpy(b, &v, 8);
        ASSERT_TRUE(store->write_binary(key, name, b).ok());
    }
    void start_clock_at(std::int64_t t)
    {
        clock = std::make_unique<platform::ManualClock>(platform::TimePoint{std::chrono::seconds{t}});
    }

    std::unique_ptr<RigControl> make(settings::RotatorSettings r, bool display_computed = true)
    {
        RigHooks h;
        h.log = [this](const std::string& l) {
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.logs.push_back(l);
            }
            rec.waitable.changed();
        };
        h.warn = [this](const std::string& t, const std::string& c) {
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.warnings.emplace_back(t, c);
            }
            rec.waitable.changed();
        };
        h.error_sound = [this] { ++rec.sounds; };
        h.next_pass_start = [this] { return next_pass; };
        h.open_port = [this](std::uint32_t, std::uint32_t speed) {
            platform::SerialSettings s;
            s.speed = speed;
            return platform::open_serial_port(port_path, s);
        };
        h.make_driver = [this]() -> std::unique_ptr<DriverLibrary> { return std::make_unique<HamlibDriver>(hamlib); };
        h.find_elements = [](const std::string& name) -> std::optional<elements::KepRecord> {
            if (name == "AO-7")
                return rig_satellite();
            return std::nullopt;
        };
        h.on_rotor_position = [this](const RotorPosition& p) {
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.positions.push_back(p);
            }
            rec.waitable.changed();
        };
        h.on_report = [this](const std::optional<TrackReport>& r) {
            if (!r)
                return;
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.reports.push_back(*r);
            }
            rec.waitable.changed();
        };
        return std::make_unique<RigControl>(*clock, clock->timers(), *store, rig_site(), r, display_computed, h);
    }
    // A controller of type `r` whose port is `peer`'s terminal, on a clock that starts at `t`.
    std::unique_ptr<RigControl> on_terminal(PtyPeer& peer, std::int64_t t, settings::RotatorSettings r)
    {
        start_clock_at(t);
        port_path = peer.path();
        return make(r);
    }
    // A pass under way from `at`: a controller of type `r` on `peer`'s terminal tracks AO-7 and has
    // made its first tick.
    std::unique_ptr<RigControl> tracking_on(PtyPeer& peer, std::int64_t at, settings::RotatorSettings r,
                                            bool rotator_only)
    {
        auto control = on_terminal(peer, at, r);
        control->start_tracking("AO-7", rotator_only);
        clock->advance(std::chrono::milliseconds(0));
        return control;
    }
    bool warned(const std::string& text, const std::string& caption)
    {
        return rec.waitable.wait([&] {
            return std::find(rec.warnings.begin(), rec.warnings.end(), std::pair{text, caption}) != rec.warnings.end();
        });
    }
};

// For state another thread changes as bytes arrive from the pseudo-terminal.
template <class Pred>
inline bool eventually(Pred pred)
{
    for (int i = 0; i < 10000; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

inline settings::RotatorSettings of_type(std::uint32_t type)
{
    settings::RotatorSettings r;
    r.rotator_type = type;
    return r;
}

} // namespace orva::station::testing
