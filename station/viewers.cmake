# The log viewers' reports and the upload queue (no Qt).
orva_library(NAME orva_station_viewers
  SOURCES viewers/reports.cpp
  DEPS orva_common_util)

orva_test(MODULE station NAME test_station_viewers
  SOURCES tests/reports_test.cpp
  DEPS orva_station_viewers)

orva_fuzzer(NAME log_reports SOURCES ${PROJECT_SOURCE_DIR}/fuzz/log_reports.cpp DEPS orva_station_viewers)
