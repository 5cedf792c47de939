// A test station written into a temporary suite folder: its store with the folder and the
// station's position, its satellites in the store and the element database, and what else a
// test needs there. The writers stop at the first failure: wrap them in ASSERT_NO_FATAL_FAILURE.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/elements/kep_database.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/store/store.h"

namespace orva::station::testing {

// What the test stations differ in.
struct TestStation {
    std::vector<elements::KepRecord> satellites;               // in the database and the store, by name
    std::uint32_t state = 0;                                    // each satellite's State
    std::optional<std::string> program;                         // each satellite's Program; none: the default
    std::vector<std::pair<const char*, std::uint32_t>> helmo;   // numbers under Helmo's key
    std::function<void(settings::SatelliteRecord&)> adjust;    // each satellite's record, last
    std::function<void(platform::Store&)> more;                 // anything else, after the numbers
};

// N0CALL near Cambridge, as the Helmo tests have it.
inline settings::StationSettings n0call_station()
{
    settings::StationSettings st;
    st.callsign = "N0CALL";
    st.latitude = 52.2;
    st.longitude = 0.12;
    return st;
}

// The suite folder and the station's position.
inline void write_home(platform::Store& store, const std::filesystem::path& dir,
                       const settings::StationSettings& station = n0call_station())
{
    settings::GeneralSettings g;
    g.orva_directory = dir.string();
    ASSERT_TRUE(settings::write_general(store, g).ok());
    ASSERT_TRUE(settings::write_station(store, station).ok());
}

inline elements::KepRecord renamed(elements::KepRecord r, const std::string& name)
{
    r.name = name;
    return r;
}

// "store.db" and the element database in `dir`.
inline void write_test_station(const std::filesystem::path& dir, const TestStation& station)
{
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    ASSERT_NO_FATAL_FAILURE(write_home(*store, dir));
    for (const auto& [name, value] : station.helmo)
        ASSERT_TRUE(store->write_integer(settings::keys::helmo, name, value).ok());
    if (station.more) {
        ASSERT_NO_FATAL_FAILURE(station.more(*store));
    }
    elements::KepDatabase db;
    for (const elements::KepRecord& r : station.satellites) {
        db.add_record(r);
        auto key = settings::create_satellite_key(*store, r.name);
        ASSERT_TRUE(key.ok());
        settings::SatelliteRecord rec = settings::new_satellite(r.name, settings::SatelliteType::Analogue, dir.string());
        rec.state = station.state;
        if (station.program)
            rec.program = *station.program;
        if (station.adjust)
            station.adjust(rec);
        ASSERT_TRUE(settings::write_satellite(*store, *key, rec).ok());
    }
    ASSERT_TRUE(db.save(elements::kep_database_path(dir)).ok());
}

} // namespace orva::station::testing
