#include "common/elements/kep_edit_fields.h"

#include <cstdio>
#include <cstdlib>

namespace orva::elements {

namespace {
std::string format(const char* fmt, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}
std::string format_int(const char* fmt, long v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}
long to_long(const std::string& s) { return std::strtol(s.c_str(), nullptr, 10); }
double to_double(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
} // namespace

KepEditFields edit_fields_from_record(const KepRecord& r)
{
    KepEditFields f;
    f.name = r.name;
    f.catalogue = format_int("%lu", long(r.catalogue));
    f.element_set = format_int("%li", r.element_set);
    char epoch[48];
    std::snprintf(epoch, sizeof epoch, "%02d %12.8f", int(r.epoch_year), r.epoch_day);
    f.epoch = epoch;
    f.mean_anomaly = format("%f", r.mean_anomaly);
    f.mean_motion = format("%f", r.mean_motion);
    f.inclination = format("%f", r.inclination);
    f.eccentricity = format("%f", r.eccentricity);
    f.arg_perigee = format("%f", r.arg_perigee);
    f.raan = format("%f", r.raan);
    f.decay = format("%f", r.decay);
    f.orbit_number = format_int("%ld", r.epoch_rev);
    if (r.blon != kNoAttitude) {
        f.blon = format_int("%ld", r.blon);
        f.blat = format_int("%ld", r.blat);
    }
    f.beacon = format("%11.6f", r.beacon_mhz);
    f.schedule = r.mode_schedule;
    return f;
}

void store_edit_fields(const KepEditFields& f, KepRecord& r)
{
    r.name = f.name.substr(0, kKepNameMax);
    r.catalogue = std::uint16_t(to_long(f.catalogue) & 0xffff);
    r.element_set = std::int32_t(to_long(f.element_set));
    r.epoch_year = std::int16_t(to_long(f.epoch));
    r.epoch_day = f.epoch.size() > 3 ? to_double(f.epoch.substr(3)) : 0.0;
    r.mean_anomaly = to_double(f.mean_anomaly);
    r.mean_motion = to_double(f.mean_motion);
    r.inclination = to_double(f.inclination);
    r.eccentricity = to_double(f.eccentricity);
    r.arg_perigee = to_double(f.arg_perigee);
    r.raan = to_double(f.raan);
    r.decay = to_double(f.decay);
    r.epoch_rev = std::int32_t(to_long(f.orbit_number));
    if (!f.blon.empty() && !f.blat.empty()) {
        r.blon = std::int16_t(to_long(f.blon));
        r.blat = std::int16_t(to_long(f.blat));
    } else {
        r.blon = r.blat = kNoAttitude;
    }
    r.beacon_mhz = to_double(f.beacon);
    r.mode_schedule = f.schedule.substr(0, kModeScheduleMax);
}

} // namespace orva::elements
