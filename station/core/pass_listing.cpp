#include "station/core/pass_listing.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "station/core/station_core.h"

namespace orva::station {

namespace {
// A station with nothing attached: programs run until the dispatcher ends them.
struct QuietIo final : StationIo {
    std::vector<std::string> warnings;
    std::set<std::pair<std::string, std::int64_t>> started;
    bool running = false;
    void log(const std::string&) override {}
    void warn(const std::string& text, const std::string&) override { warnings.push_back(text); }
    void pre_pass_notice(const PassEntry&, bool) override {}
    void close_pre_pass_notice(const PassEntry&) override {}
    void pass_started(const PassEntry& e) override { started.insert({e.name, e.aos}); }
    void run_event(const EventEntry&) override {}
    void track_satellite(const std::string&) override {}
    void start_modem_setup(const std::string&) override {}
    bool modem_ready() override { return true; }
    Result<ProgramSettings> read_program_settings(const std::string&) override { return ProgramSettings{"X", "", 2}; }
    Status start_program(const std::string&, const ProgramSettings&) override
    {
        running = true;
        return {};
    }
    bool find_program_window() override { return true; }
    bool program_window_is_engine(const std::string&) override { return false; }
    bool program_running() override { return running; }
    void post_to_engine(std::uint32_t, std::uint32_t, std::int32_t) override {}
    void close_program_window() override { running = false; }
    void forget_program() override {}
    void play_error_sound() override {}
};

std::string iso(std::int64_t t) { return format_iso8601(StationTime(std::chrono::seconds(t))); }

std::string escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            continue;
        out += c;
    }
    return out;
}
} // namespace

PassListing list_passes(const platform::Store& store, const elements::KepDatabase& db, std::int64_t from, std::int64_t days)
{
    QuietIo io;
    settings::StationSettings st = settings::read_station(store, settings::Program::Tool);
    ScheduleConfig cfg = read_schedule_config(store);
    cfg.schedule_days = days;
    StationCore core(cfg, elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude), io);
    core.build_schedule(store, db, from, {}); // no saved schedule: a fresh search
    core.load_events(settings::read_events(store), from);
    core.run_search(from);
    std::vector<PassEntry> entries = core.schedule_snapshot();
    std::int64_t end = from + days * 86400;
    std::int64_t last_los = from;
    for (const PassEntry& e : entries)
        last_los = std::max(last_los, e.los);
    std::int64_t wake_ms = -1;
    for (std::int64_t now = from; now <= std::min(last_los + 60, end + 86400); ++now) {
        core.tick(now);
        for (std::int64_t t = wake_ms < 0 ? now * 1000 : std::max(wake_ms, now * 1000); t <= now * 1000 + 999;) {
            std::optional<std::int64_t> next = core.poll_pass(t, false);
            if (!next) {
                wake_ms = -1;
                break;
            }
            wake_ms = *next;
            t = std::max(t + 1, *next);
        }
    }
    PassListing out;
    out.warnings = io.warnings;
    for (const PassEntry& e : entries) {
        if (e.aos >= end)
            continue;
        out.passes.push_back({e, io.started.count({e.name, e.aos}) > 0});
    }
    return out;
}

std::string passes_json(const std::vector<ListedPass>& passes)
{
    std::string out = "[";
    char buf[1024];
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const PassEntry& e = passes[i].entry;
        std::snprintf(buf, sizeof buf,
                      "%s\n  {\"satellite\": \"%s\", \"aos\": \"%s\", \"tca\": \"%s\", \"los\": \"%s\", "
                      "\"max_elevation_deg\": %.2f, \"aos_azimuth_deg\": %.1f, \"los_azimuth_deg\": %.1f, "
                      "\"duration_s\": %lld, \"scheduled\": %s, \"priority\": %d, \"dont_run\": %s, "
                      "\"listen_only\": %s, \"elevation_ok\": %s, \"flip\": %s}",
                      i ? "," : "", escape(e.name).c_str(), iso(e.aos).c_str(), iso(e.tca).c_str(), iso(e.los).c_str(),
                      e.max_elevation_deg, e.aos_azimuth_deg, e.los_azimuth_deg, (long long)(e.los - e.aos),
                      passes[i].scheduled ? "true" : "false", int(e.priority), e.dont_run ? "true" : "false",
                      e.listen_only ? "true" : "false", e.elevation_ok ? "true" : "false", e.flip ? "true" : "false");
        out += buf;
    }
    out += passes.empty() ? "]\n" : "\n]\n";
    return out;
}

std::string passes_text(const std::vector<ListedPass>& passes)
{
    std::string out = "Satellite     P El AOS                   LOS                   AzA AzL  Run\n";
    char buf[256];
    for (const ListedPass& p : passes) {
        const PassEntry& e = p.entry;
        std::string prio = e.dont_run ? "" : std::to_string(e.priority);
        std::string marks = std::string(p.scheduled ? "yes" : "no") + (e.listen_only ? " listen" : "") +
                            (e.elevation_ok ? "" : " low") + (e.flip ? " flip" : "");
        std::snprintf(buf, sizeof buf, "%-12s %3s %2d %s  %s  %3.0f %3.0f  %s\n", e.name.c_str(), prio.c_str(),
                      int(e.max_elevation), iso(e.aos).c_str(), iso(e.los).c_str(), e.aos_azimuth_deg, e.los_azimuth_deg,
                      marks.c_str());
        out += buf;
    }
    return out;
}

} // namespace orva::station
