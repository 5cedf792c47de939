# A satellite's setup or the station's position changed while the station runs.
orva_test(MODULE station NAME test_station_satellite_schedule
  SOURCES tests/satellite_schedule_test.cpp
  DEPS orva_station_core)
