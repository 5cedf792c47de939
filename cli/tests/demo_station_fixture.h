// The demo station in a temporary folder, and the operator's commands run over it as real
// processes: their exit code and everything they printed.
#pragma once

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/demo/child.h"
#include "cli/setup/demo_station.h"
#include "common/elements/kep_database.h"
#include "platform/store/store.h"

namespace orva::tools {

class DemoStationTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(dir); }

    // The demo station in a fresh folder named `folder` and the process id; `adjust` changes its
    // store after, and `orbits` are its element database. The commands find the store through
    // ORVA_STORE.
    void write_station(const std::string& folder, const std::function<void(platform::Store&)>& adjust,
                       const std::vector<elements::KepRecord>& orbits)
    {
        dir = std::filesystem::temp_directory_path() / (folder + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        ASSERT_TRUE(create_demo_station(*store, dir / "station").ok());
        ASSERT_NO_FATAL_FAILURE(adjust(*store));
        elements::KepDatabase db;
        for (const elements::KepRecord& r : orbits)
            db.add_record(r);
        ASSERT_TRUE(db.save(elements::kep_database_path(dir / "station")).ok());
        env = {"ORVA_STORE=" + (dir / "store.db").string()};
    }

    // Runs a command to its end: exit code and everything it printed.
    std::pair<int, std::string> run(const std::vector<std::string>& argv)
    {
        auto c = Child::start(argv, env);
        EXPECT_TRUE(c.ok());
        if (!c)
            return {-1, ""};
        std::string out;
        std::optional<int> code;
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!(code = (*c)->poll_exit()) || !(*c)->output_closed()) {
            pollfd p{(*c)->output_fd(), POLLIN, 0};
            ::poll(&p, 1, 100);
            for (const std::string& l : (*c)->read_lines())
                out += l + "\n";
            if (std::chrono::steady_clock::now() > limit)
                break;
        }
        return {code.value_or(-1), out};
    }

    std::filesystem::path dir;
    std::vector<std::string> env;
};

} // namespace orva::tools
