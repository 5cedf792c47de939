#include "station/core/schedule_settings.h"

#include <cstdio>

#include "common/settings/suite_settings.h"

namespace orva::station {

SatelliteSchedule satellite_schedule(const settings::SatelliteRecord& r)
{
    SatelliteSchedule s;
    s.name = r.name;
    s.priority = std::int32_t(r.priority);
    if (s.priority <= 0 || s.priority > 100)
        s.priority = 10;
    s.sat_state = r.state > 2 ? 3 : std::int32_t(r.state);
    s.start_lead = std::int32_t(r.start_time);
    s.min_elevation = std::int32_t(r.min_elevation);
    s.min_pass_time = std::int32_t(r.min_pass_time) * 60;
    return s;
}

std::string not_in_database_text(const std::string& name)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, kNotInDatabase, name.c_str());
    return buf;
}

ScheduleConfig read_schedule_config(const platform::Store& store)
{
    settings::StationSettings st = settings::read_station(store, settings::Program::Helmo);
    settings::HelmoSettings h = settings::read_helmo(store);
    settings::RotatorSettings r = settings::read_rotator(store);
    ScheduleConfig c;
    c.search.use_horizon = st.use_horizon != 0;
    c.search.display_horizon = st.display_horizon != 0;
    c.search.horizon = st.horizon;
    c.search.flip = r.flip != 0;
    c.search.stop_at_south = r.stop_position != 0;
    c.hours = {st.listen_hours != 0, st.listen_start, st.listen_stop, st.limit_hours != 0, st.start_hour, st.stop_hour};
    c.schedule_days = h.schedule_days;
    c.pop_up_time = h.pop_up_time;
    c.pass_end_time = h.pass_end_time;
    c.message_pop_ups = h.message_pop_ups != 0;
    return c;
}

} // namespace orva::station
