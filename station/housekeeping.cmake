# File housekeeping and the directory hole editor (no Qt).
orva_library(NAME orva_station_housekeeping
  SOURCES
    housekeeping/housekeeping.cpp
    housekeeping/directory_edit.cpp
  DEPS orva_common_settings orva_common_util)

orva_test(MODULE station NAME test_station_housekeeping
  SOURCES tests/housekeeping_test.cpp
  DEPS orva_station_housekeeping)
