#include "common/elements/kep_record.h"

#include "common/elements/byte_fields.h"

namespace orva::elements {

using namespace detail;

namespace {
// Field offsets of the packed record.
enum : std::size_t {
    kName = 0, kCatalogue = 13, kElementSet = 15, kEpochRev = 19, kEpochDay = 23, kDecay = 31,
    kInclination = 39, kRaan = 47, kEccentricity = 55, kArgPerigee = 63, kMeanAnomaly = 71,
    kMeanMotion = 79, kBeacon = 87, kEpochYear = 95, kBlon = 97, kBlat = 99, kModeSchedule = 101,
};
} // namespace

KepBytes encode_kep_record(const KepRecord& r)
{
    KepBytes bytes{};
    std::span<std::uint8_t> b(bytes);
    put_text(b, kName, 13, r.name);
    put_le(b, kCatalogue, 2, r.catalogue);
    put_le(b, kElementSet, 4, std::uint32_t(r.element_set));
    put_le(b, kEpochRev, 4, std::uint32_t(r.epoch_rev));
    put_f64(b, kEpochDay, r.epoch_day);
    put_f64(b, kDecay, r.decay);
    put_f64(b, kInclination, r.inclination);
    put_f64(b, kRaan, r.raan);
    put_f64(b, kEccentricity, r.eccentricity);
    put_f64(b, kArgPerigee, r.arg_perigee);
    put_f64(b, kMeanAnomaly, r.mean_anomaly);
    put_f64(b, kMeanMotion, r.mean_motion);
    put_f64(b, kBeacon, r.beacon_mhz);
    put_le(b, kEpochYear, 2, std::uint16_t(r.epoch_year));
    put_le(b, kBlon, 2, std::uint16_t(r.blon));
    put_le(b, kBlat, 2, std::uint16_t(r.blat));
    put_text(b, kModeSchedule, 65, r.mode_schedule);
    return bytes;
}

KepRecord decode_kep_record(std::span<const std::uint8_t, kKepRecordSize> bytes)
{
    std::span<const std::uint8_t> b(bytes);
    KepRecord r;
    // A 13-byte name without its NUL is cut to the 12 characters the record may hold.
    r.name = get_text(b, kName, 13).substr(0, kKepNameMax);
    r.catalogue = std::uint16_t(get_le(b, kCatalogue, 2));
    r.element_set = get_i32(b, kElementSet);
    r.epoch_rev = get_i32(b, kEpochRev);
    r.epoch_day = get_f64(b, kEpochDay);
    r.decay = get_f64(b, kDecay);
    r.inclination = get_f64(b, kInclination);
    r.raan = get_f64(b, kRaan);
    r.eccentricity = get_f64(b, kEccentricity);
    r.arg_perigee = get_f64(b, kArgPerigee);
    r.mean_anomaly = get_f64(b, kMeanAnomaly);
    r.mean_motion = get_f64(b, kMeanMotion);
    r.beacon_mhz = get_f64(b, kBeacon);
    r.epoch_year = get_i16(b, kEpochYear);
    r.blon = get_i16(b, kBlon);
    r.blat = get_i16(b, kBlat);
    r.mode_schedule = get_text(b, kModeSchedule, 65).substr(0, kModeScheduleMax);
    return r;
}

int full_epoch_year(int yy)
{
    return yy < 50 ? 2000 + yy : 1900 + yy;
}

bool is_newer(const KepRecord& current, const KepRecord& candidate)
{
    int old_year = full_epoch_year(current.epoch_year);
    int new_year = full_epoch_year(candidate.epoch_year);
    if (new_year != old_year)
        return new_year > old_year;
    return candidate.epoch_day > current.epoch_day;
}

void replace_keeping_station_fields(KepRecord& slot, const KepRecord& candidate)
{
    KepRecord kept = candidate;
    kept.name = slot.name;
    kept.beacon_mhz = slot.beacon_mhz;
    kept.blon = slot.blon;
    kept.blat = slot.blat;
    kept.mode_schedule = slot.mode_schedule;
    slot = std::move(kept);
}

} // namespace orva::elements
