# orva demo: the demo station run end to end (setup, satsim, helmo, brek, dispo) and checked.
orva_library(NAME orva_cli_demo
  SOURCES demo/demo_pass.cpp demo/demo_files.cpp demo/demo_check.cpp demo/demo_configure.cpp demo/child.cpp
  DEPS orva_station_core orva_common_pfh orva_common_util orva_cli_hash orva_platform_serial)
orva_program(NAME orva-demo SOURCES demo/main.cpp DEPS orva_cli_demo orva_cli_setup orva_platform_store orva_station_web)

orva_test(MODULE cli NAME cli_demo_test
  SOURCES tests/demo_pass_test.cpp tests/demo_check_test.cpp
  DEPS orva_cli_demo)

# The README's main command, whole: its own session bus, every program of the suite built. A
# shorter pass than the default keeps the suite quick; a few kilobytes need seconds at 9600 bit/s.
if(ORVA_BUILD_TESTS AND ORVA_BUILD_APPS)
  add_test(NAME cli_demo_end_to_end
    COMMAND dbus-run-session -- $<TARGET_FILE:orva-demo> --quiet --pass 35)
  set_tests_properties(cli_demo_end_to_end PROPERTIES LABELS "cli;slow" TIMEOUT 400)
endif()

if(ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_station_commands_test SERIAL TIMEOUT 120
    SOURCES tests/station_commands_test.cpp
    DEPS orva_cli_demo orva_cli_setup)
endif()
if(TARGET cli_station_commands_test)
  target_compile_definitions(cli_station_commands_test PRIVATE
    ORVA_PASSES="$<TARGET_FILE:orva-passes>" ORVA_HELMO="$<TARGET_FILE:helmo>" ORVA_SETUP="$<TARGET_FILE:orva-setup>")
  orva_test_needs(cli_station_commands_test orva-passes helmo orva-setup)
endif()
