// The small station the Helmo host and window tests run: N0CALL near Cambridge, TESTSAT and SAT2
// (the reference orbits) in the element database and the store, both run, no programs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "common/elements/kep_database.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/store/store.h"
#include "station/tests/schedule_fixture.h"

namespace orva::station::testing {

// Offscreen, and never destroyed: Qt's own statics go first at exit.
inline QApplication& offscreen_application(const char* program)
{
    static int argc = 1;
    static std::string name = program;
    static char* argv[] = {name.data(), nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

// `tracking` empty leaves Helmo's tracking list as the store has it; `adjust` changes each
// satellite's record before it is written.
inline void write_helmo_test_station(const std::filesystem::path& dir, const std::string& tracking = {},
                                     const std::function<void(settings::SatelliteRecord&)>& adjust = {})
{
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    settings::GeneralSettings g;
    g.orva_directory = dir.string();
    EXPECT_TRUE(settings::write_general(*store, g).ok());
    settings::StationSettings st;
    st.callsign = "N0CALL";
    st.latitude = 52.2;
    st.longitude = 0.12;
    EXPECT_TRUE(settings::write_station(*store, st).ok());
    if (!tracking.empty()) {
        settings::HelmoSettings h = settings::read_helmo(*store);
        h.tracking = tracking;
        EXPECT_TRUE(settings::write_helmo(*store, h).ok());
    }
    elements::KepDatabase db;
    auto refs = reference_records();
    const char* names[] = {"TESTSAT", "SAT2"};
    for (int i = 0; i < 2; ++i) {
        elements::KepRecord r = refs[std::size_t(i)];
        r.name = names[i];
        db.add_record(r);
        auto key = settings::create_satellite_key(*store, names[i]);
        EXPECT_TRUE(key.ok());
        settings::SatelliteRecord rec = settings::new_satellite(names[i], settings::SatelliteType::Analogue, dir.string());
        rec.state = 0;
        rec.program = "";
        if (adjust)
            adjust(rec);
        EXPECT_TRUE(settings::write_satellite(*store, *key, rec).ok());
    }
    EXPECT_TRUE(db.save(elements::kep_database_path(dir)).ok());
}

} // namespace orva::station::testing
