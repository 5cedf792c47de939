#include "station/app/window/event_form.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace orva::station {

namespace {
bool daily_kind(std::uint32_t run) { return run == kDaily || run == kWeekDays || run == kWeekendDays; }
bool satellite_related(std::uint32_t a) { return a == kSingleSatellite || a == kAllSatellites; }
} // namespace

EventFormOutcome check_event_form(const EventForm& f)
{
    EventFormOutcome out;
    long typed = std::strtol(f.time_text.c_str(), nullptr, 10);
    if (typed < 0)
        typed = 0;
    std::uint32_t time = 0;
    if (daily_kind(f.run))
        time = std::uint32_t(typed / 100 * 3600 + typed % 100 * 60);
    else
        time = std::uint32_t(f.minutes ? typed * 60 : typed);
    if (f.associate == kSingleSatellite && (f.satellite.empty() || f.satellite == "[None]")) {
        out.error = kNoSatelliteChosen;
        return out;
    }
    if (satellite_related(f.associate) && (f.run == kDaily || f.run == kRegularly)) {
        out.error = kSatelliteWithRegular;
        return out;
    }
    if ((f.associate == kNoSatellite || f.associate == kHousekeeping) && (f.run == kBeforePass || f.run == kAfterPass)) {
        out.error = kNonSatelliteAtPass;
        return out;
    }
    if (satellite_related(f.associate) && f.active && time > 45)
        out.note = kLongLead;
    settings::EventRecord r;
    r.name = f.name.substr(0, 25);
    r.program = f.program.substr(0, 259);
    r.directory = f.directory;
    r.satellite = f.associate == kSingleSatellite ? f.satellite : "[None]";
    r.associate = f.associate;
    r.run = f.run;
    r.time = time;
    r.active = f.active;
    r.display = f.display;
    r.minimise = f.minimise;
    out.record = r;
    return out;
}

std::string event_time_text(std::uint32_t run, std::uint32_t time, bool& minutes)
{
    char buf[32];
    minutes = false;
    if (daily_kind(run)) {
        std::snprintf(buf, sizeof buf, "%02u%02u", time / 3600 % 24, time / 60 % 60);
    } else if (time % 60 == 0) {
        minutes = true;
        std::snprintf(buf, sizeof buf, "%u", time / 60);
    } else {
        std::snprintf(buf, sizeof buf, "%u", time);
    }
    return buf;
}

std::string event_history_text(std::uint32_t t)
{
    if (t == 0)
        return "n/a";
    using namespace std::chrono;
    sys_seconds s{seconds(t)};
    auto day = floor<days>(s);
    year_month_day ymd{day};
    auto tod = s - day;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d %02u/%02u/%02d", int(tod.count() / 3600), int(tod.count() / 60 % 60),
                  unsigned(ymd.day()), unsigned(ymd.month()), int(ymd.year()) % 100);
    return buf;
}

} // namespace orva::station
