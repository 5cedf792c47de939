// The small station the Helmo host and window tests run: N0CALL near Cambridge, TESTSAT and SAT2
// (the reference orbits) in the element database and the store, both run, no programs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/tests/schedule_fixture.h"
#include "station/tests/station_store_fixture.h"

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
    auto refs = reference_records();
    TestStation station;
    station.satellites = {renamed(refs[0], "TESTSAT"), renamed(refs[1], "SAT2")};
    station.program = "";
    station.adjust = adjust;
    if (!tracking.empty())
        station.more = [&](platform::Store& store) {
            settings::HelmoSettings h = settings::read_helmo(store);
            h.tracking = tracking;
            ASSERT_TRUE(settings::write_helmo(store, h).ok());
        };
    write_test_station(dir, station);
}

} // namespace orva::station::testing
