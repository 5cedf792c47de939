# A week of the headless station on a manual clock.
if(ORVA_BUILD_APPS AND ORVA_BUILD_TESTS)
  orva_test(MODULE station NAME test_station_helmo_week
    SOURCES tests/helmo_week_test.cpp
    DEPS orva_station_app
    QT SERIAL TIMEOUT 300)
endif()
