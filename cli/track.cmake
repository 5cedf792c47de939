# orva track: the configured rotator and radio after one satellite, from the command line.
# orva hamlib: the Hamlib models, devices and speeds of the "Level1" rotator and radio.
orva_program(NAME orva-track SOURCES track/main.cpp DEPS orva_station_rig_host)
orva_program(NAME orva-hamlib SOURCES hamlib/main.cpp DEPS orva_station_hamlib)

if(ORVA_BUILD_TESTS AND ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_track_test SLOW TIMEOUT 240
    SOURCES tests/track_test.cpp
    DEPS orva_cli_demo orva_cli_setup orva_station_hamlib)
  target_compile_definitions(cli_track_test PRIVATE
    ORVA_TRACK="$<TARGET_FILE:orva-track>" ORVA_HAMLIB="$<TARGET_FILE:orva-hamlib>")
  orva_test_needs(cli_track_test orva-track orva-hamlib)
endif()

if(ORVA_BUILD_TESTS AND ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_helmo_rig_test SERIAL SLOW TIMEOUT 240
    SOURCES tests/helmo_rig_test.cpp
    DEPS orva_cli_demo orva_cli_setup orva_station_hamlib orva_platform_dbus Qt6::Core)
  target_compile_definitions(cli_helmo_rig_test PRIVATE ORVA_HELMO="$<TARGET_FILE:helmo>")
  orva_test_needs(cli_helmo_rig_test helmo)
endif()
