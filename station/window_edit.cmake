# The main window's Edit Schedule and Add Pass, its help entries and its placement while running.
if(ORVA_BUILD_APPS)
  orva_test(MODULE station NAME test_station_window_edit
    SOURCES tests/helmo_edit_schedule_test.cpp
    DEPS orva_station_window
    QT SERIAL TIMEOUT 180)
endif()
