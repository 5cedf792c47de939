// A station in a temporary folder for the tests that run the real programs: a store with one
// satellite, a folder of files for the simulated satellite to serve, `orva satsim` on a
// pseudo-terminal or TCP, and `brek` started as a child whose output the test reads.
#pragma once

#include "common/pfh/pfh_builder.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/directory/status_codes.h"
#include "engine/directory/status_table.h"
#include "engine/tests/reception_test_util.h"
#include "platform/store/store.h"
#include "platform/testing/spawned_child.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace orva::engine::test {

namespace fs = std::filesystem;

using test_support::Child;

struct SimStation {
    static constexpr std::uint32_t kFirst = 0x101;
    inline static const std::string kSatellite = "AO-16";

    TempFolder root;
    fs::path store_path, served, sat_dir;
    std::map<std::uint32_t, Bytes> files;
    std::string key;
    std::optional<Child> satsim;
    std::string pty;
    std::string bin = ORVA_BIN_DIR;

    // `count` files from `smallest` to `largest` bytes, sizes growing geometrically.
    void create(int count, std::size_t smallest, std::size_t largest)
    {
        store_path = root / "store.db";
        served = root / "served";
        fs::create_directories(served);
        const std::uint32_t now = std::uint32_t(std::time(nullptr));
        for (int i = 0; i < count; ++i) {
            const double share = count > 1 ? double(i) / (count - 1) : 0;
            const std::size_t size = std::size_t(double(smallest) * std::pow(double(largest) / double(smallest), share));
            pfh::PfhHeader h = header_for(kFirst + std::uint32_t(i), "File " + std::to_string(i), "ALL", "W1AW");
            h.upload_time = now - 7200 + std::uint32_t(i) * 300;
            Bytes body(size - std::min<std::size_t>(size, 120));
            std::mt19937 rng{std::uint32_t(i)};
            for (auto& b : body)
                b = std::uint8_t(rng());
            Bytes file = pfh::build_pfh_file(h, body);
            files[h.file_number] = file;
            char name[16];
            std::snprintf(name, sizeof name, "%X.SRV", h.file_number);
            write_bytes(served / name, file);
        }
        auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
        ASSERT_TRUE(store) << store.error().message;
        auto station = settings::read_station(*store, settings::Program::Helmo);
        station.callsign = "N0CALL";
        ASSERT_TRUE(settings::write_station(*store, station));
        auto rec = settings::new_satellite(kSatellite, settings::SatelliteType::PacSat, (root / "orva").string());
        rec.bbs_callsign = "PACSAT-12";
        rec.bdcst_callsign = "PACSAT-11";
        rec.run_dispo = 0;
        auto made = settings::create_satellite_key(*store, kSatellite);
        ASSERT_TRUE(made);
        key = *made;
        ASSERT_TRUE(settings::write_satellite(*store, key, rec));
        ASSERT_TRUE(store->write_integer(key, "Max Holes", 60));
        // Completed files stay where they are for the comparison: no mail processor.
        ASSERT_TRUE(store->write_integer(key, "Proc Threshold", 0));
        sat_dir = rec.satellite_directory;
        ::setenv("ORVA_STORE", store_path.c_str(), 1);
    }

    // `real_server`: satsim behaves as the servers in service do (see its --real-server).
    void start_satsim(const std::string& loss, const std::string& corrupt, const std::string& speed, bool tcp = false,
                      bool real_server = false)
    {
        std::vector<std::string> args{bin + "/orva-satsim", "--folder", served.string(), "--loss", loss, "--corrupt",
                                      corrupt, "--reorder", loss == "0" ? "0" : "0.02", "--seed", "7", "--rate", "20000",
                                      "--speed", speed, "--queue-line", "2"};
        if (real_server)
            args.push_back("--real-server");
        if (tcp) {
            args.push_back("--tcp");
            args.push_back("0");
        } else {
            args.push_back("--pty");
        }
        satsim.emplace(args, root / "satsim.log", true);
        ASSERT_TRUE(satsim->wait_line(tcp ? "TCP " : "PTY ", std::chrono::seconds(20)));
        const std::string line = satsim->lines().front();
        if (tcp) {
            ASSERT_EQ(line.rfind("TCP ", 0), 0u) << line;
            // The engine finds its TNC through the store.
            auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
            ASSERT_TRUE(store);
            ASSERT_TRUE(store->write_string(key, "TNC Address", line.substr(4)));
            return;
        }
        ASSERT_EQ(line.rfind("PTY ", 0), 0u) << line;
        pty = line.substr(4);
    }

    // brek --headless SAT with the port of the simulated satellite; `extra` follows.
    std::vector<std::string> brek_args(std::vector<std::string> extra) const
    {
        std::vector<std::string> args{bin + "/brek", "--headless", kSatellite};
        if (!pty.empty()) {
            args.push_back("--port");
            args.push_back(pty);
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Stands in for the directory viewer: marks every file the directory has announced.
    int mark_announced()
    {
        auto table = StatusTable::open(sat_dir / kStatusTableName);
        if (!table)
            return 0;
        int marked = 0;
        for (const auto& [fn, _] : files) {
            if (table->code_of(fn) == kCodeGrab) {
                table->set_status(fn, kCodeAuto, true, std::uint32_t(std::time(nullptr)));
                ++marked;
            }
        }
        return marked;
    }

    static std::string name_of(std::uint32_t fn, const char* ext)
    {
        char name[24];
        std::snprintf(name, sizeof name, "%X%s", fn, ext);
        return name;
    }

    int completed() const
    {
        int n = 0;
        for (const auto& [fn, bytes] : files)
            if (fs::exists(sat_dir / name_of(fn, ".DL")))
                ++n;
        return n;
    }
};

} // namespace orva::engine::test
