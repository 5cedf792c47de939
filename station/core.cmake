# Pass search, schedule and dispatcher; the station core (tracking loop, pass execution, events)
# and the Helmo program over it.
orva_library(NAME orva_station_schedule
  SOURCES
    schedule/pass_entry.cpp
    schedule/schedule_file.cpp
    schedule/pass_search.cpp
    schedule/schedule.cpp
    schedule/dispatcher.cpp
  DEPS orva_station_orbit orva_common_util)

orva_test(MODULE station NAME test_station_schedule
  SOURCES
    tests/schedule_file_test.cpp
    tests/pass_search_test.cpp
    tests/dispatcher_test.cpp
  DEPS orva_station_schedule)

if(ORVA_BUILD_TESTS AND EXISTS /usr/bin/python3)
  add_test(NAME station_pass_reference_data
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tools/refdata/pass_reference.py --check)
  set_tests_properties(station_pass_reference_data PROPERTIES LABELS station TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()
