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
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/testbed/refdata/pass_reference.py --check)
  set_tests_properties(station_pass_reference_data PROPERTIES LABELS station TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()

orva_library(NAME orva_station_core
  SOURCES
    core/events.cpp
    core/event_run.cpp
    core/tracking_list.cpp
    core/track_data.cpp
    core/pass_execution.cpp
    core/station_core.cpp
    core/schedule_settings.cpp
    core/pass_edit.cpp
    core/pass_thread.cpp
    core/search_worker.cpp
    core/pass_listing.cpp
  DEPS orva_station_schedule orva_common_settings orva_platform_launcher orva_platform_threads)

orva_test(MODULE station NAME test_station_core
  SOURCES
    tests/station_core_test.cpp
    tests/events_test.cpp
    tests/event_run_test.cpp
    tests/tracking_list_test.cpp
  DEPS orva_station_core)

orva_benchmark(NAME schedule SOURCES ${PROJECT_SOURCE_DIR}/bench/schedule.cpp DEPS orva_station_core)
if(TARGET bench_schedule)
  target_compile_definitions(bench_schedule PRIVATE ORVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

# Helmo: the headless host over the core, on the session bus.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_station_app
    SOURCES app/station_host.cpp app/headless_host.cpp
    DEPS orva_station_core orva_platform_dbus orva_platform_launcher Qt6::Core
    QT)
  orva_program(NAME helmo SOURCES app/helmo_main.cpp DEPS orva_station_app Qt6::Core QT)
endif()

if(ORVA_BUILD_APPS AND ORVA_BUILD_TESTS)
  add_executable(station_test_brek tests/test_brek_window.cpp)
  target_compile_options(station_test_brek PRIVATE ${ORVA_WARNINGS})
  target_include_directories(station_test_brek PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(station_test_brek PRIVATE orva_platform_dbus)
  set_target_properties(station_test_brek PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  orva_test(MODULE station NAME test_station_helmo
    SOURCES tests/helmo_pass_test.cpp
    DEPS orva_station_app
    QT SERIAL TIMEOUT 120)
  orva_test_needs(test_station_helmo station_test_brek)
  target_compile_definitions(test_station_helmo PRIVATE ORVA_TEST_BREK="$<TARGET_FILE:station_test_brek>")
endif()

orva_fuzzer(NAME schedule_file SOURCES ${PROJECT_SOURCE_DIR}/fuzz/schedule_file.cpp DEPS orva_station_schedule)
