# File housekeeping and the directory hole editor (no Qt).
orva_library(NAME orva_station_housekeeping
  SOURCES
    housekeeping/housekeeping.cpp
    housekeeping/directory_edit.cpp
  DEPS orva_common_settings orva_common_util orva_platform_threads)

orva_test(MODULE station NAME test_station_housekeeping
  SOURCES tests/housekeeping_test.cpp
  DEPS orva_station_housekeeping)

# The headless host runs housekeeping events with it.
if(TARGET orva_station_app)
  target_link_libraries(orva_station_app PUBLIC orva_station_housekeeping)
endif()

orva_test(MODULE station NAME test_station_housekeeping_event
  SOURCES tests/housekeeping_event_test.cpp
  DEPS orva_station_core orva_station_housekeeping orva_cli_setup)
