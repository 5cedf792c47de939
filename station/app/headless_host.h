// `helmo --headless`: the station host with its lines on a terminal or in a log file, and the
// live table printed every minute.
#pragma once

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "station/app/station_host.h"

namespace orva::station {

struct HeadlessOptions {
    std::filesystem::path log_file; // empty: standard output
    bool table = true;              // print the live table every minute
    const platform::Clock* clock = nullptr;
};

class TerminalView final : public HostView {
public:
    explicit TerminalView(HeadlessOptions options) : options_(std::move(options)) {}
    ~TerminalView() override;
    Status open();
    void attach(StationHost& host) { host_ = &host; }

    void line(const std::string& text) override;
    void warning(const std::string& text, const std::string& caption) override { line(caption + ": " + text); }
    void pre_pass_notice(const PassEntry&, bool) override {}
    void close_pre_pass_notice(const PassEntry&) override {}
    void refresh(std::int64_t now) override;

private:
    HeadlessOptions options_;
    StationHost* host_ = nullptr;
    std::FILE* out_ = stdout;
    std::mutex mutex_;
    std::int64_t last_table_ = 0;
};

// The terminal view and the host together, as the program runs them.
class HeadlessHost {
public:
    HeadlessHost(platform::Store store, HeadlessOptions options)
        : view_(options), host_(std::move(store), view_, HostOptions{options.clock})
    {
        view_.attach(host_);
    }
    Status start()
    {
        if (Status s = view_.open(); !s)
            return s;
        return host_.start();
    }
    void shutdown() { host_.shutdown(); }
    void log(const std::string& line) { host_.log(line); }
    std::int64_t now() const { return host_.now(); }
    StationCore& core() { return host_.core(); }
    StationHost& host() { return host_; }

private:
    TerminalView view_;
    StationHost host_;
};

} // namespace orva::station
