// A station in a temporary folder: a store with one satellite ("AO-16") and its folders, fake
// window and sound hosts, and the real extractors.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/pfh/pfh_builder.h"
#include "mailproc/dispo_run.h"
#include "mailproc/launcher_runner.h"
#include "platform/store/store.h"

namespace orva::mailproc::test {

namespace fs = std::filesystem;

struct Recorded {
    ExternalCommand command;
    fs::path folder;
};

class TestRunner : public ProcessRunner {
public:
    TestRunner() : real_(launcher()) {}
    static platform::Launcher launcher()
    {
        auto env = platform::LaunchEnvironment::current();
        env.program_dir = ORVA_BIN_DIR;
        return platform::Launcher(env);
    }
    RunOutcome run_and_wait(const ExternalCommand& c, const fs::path& folder, const RunLimits& limits) override
    {
        {
            std::lock_guard lock(mutex);
            waited.push_back({c, folder});
        }
        if (replace_program)
            return real_.run_words(*replace_program, folder, limits);
        return real_.run_and_wait(c, folder, limits);
    }
    Status start(const ExternalCommand& c, const fs::path& folder) override
    {
        std::lock_guard lock(mutex);
        started.push_back({c, folder});
        return {};
    }
    // Overlapping runs in one test share these doubles.
    std::mutex mutex;
    std::vector<Recorded> waited, started;
    std::optional<std::vector<std::string>> replace_program; // run this instead of the extractor

private:
    LauncherRunner real_;
};

struct Post {
    std::string window_class, title;
    std::uint32_t number;
    std::int64_t lparam;
};

class TestPoster : public WindowPoster {
public:
    void post(std::string_view c, std::string_view t, std::uint32_t n, std::uint64_t, std::int64_t l) override
    {
        std::lock_guard lock(mutex);
        posts.push_back({std::string(c), std::string(t), n, l});
    }
    std::mutex mutex;
    std::vector<Post> posts;
};

class TestSound : public NewMailSound {
public:
    void play() override { ++plays; }
    std::atomic<int> plays = 0;
};

class DispoFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    fs::path folder(const std::string& value_name) const; // "Message Directory" -> its path
    void set_option(const std::string& name, std::uint32_t value);

    // A header with the usual items; callers change what they need.
    static pfh::PfhHeader header(std::uint32_t number, const std::string& name, const std::string& ext,
        std::uint8_t type);
    static std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }
    fs::path put_download(std::uint32_t number, const std::vector<std::uint8_t>& file);
    fs::path put_download(const pfh::PfhHeader& h, const std::string& body);

    // An archive made by the zip tool itself.
    std::vector<std::uint8_t> real_zip(const std::vector<std::pair<std::string, std::string>>& files);
    std::vector<DownloadReport> run_dispo(const std::string& pattern = "*.DL");
    std::string error_log() const;
    std::string read(const fs::path& p) const;
    // Every path below `under` (relative), with its size, links shown as such.
    static std::map<std::string, std::string> tree(const fs::path& under);
    // Files directly in one folder.
    std::set<std::string> names_in(const fs::path& folder) const;

    fs::path root, orva_dir, sat_dir;
    std::optional<platform::Store> store;
    TestRunner runner;
    TestPoster poster;
    TestSound sound;
    std::mutex status_mutex;
    std::vector<std::string> status_lines;
    std::chrono::milliseconds time_limit{20000};
    std::uint64_t size_limit = 200ull << 20;
};

} // namespace orva::mailproc::test
