// A headless Helmo over a test station: the station written into a temporary folder and the
// host started over it, its log in "helmo.log" there.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/clock.h"
#include "station/app/headless_host.h"
#include "station/tests/station_store_fixture.h"

namespace orva::station::testing {

inline std::string read_text(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// `clock` null: the system clock. Stops at the first failure: wrap it in ASSERT_NO_FATAL_FAILURE.
inline void start_headless(std::optional<HeadlessHost>& host, const std::filesystem::path& dir,
                           const TestStation& station, const platform::Clock* clock = nullptr)
{
    ASSERT_NO_FATAL_FAILURE(write_test_station(dir, station));
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    HeadlessOptions options;
    options.log_file = dir / "helmo.log";
    options.table = false;
    options.clock = clock;
    host.emplace(std::move(*store), options);
    ASSERT_TRUE(host->start().ok()) << read_text(dir / "helmo.log");
}

} // namespace orva::station::testing
