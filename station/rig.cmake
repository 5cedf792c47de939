# Rotator and radio control: the rotator types and their dialogues, Doppler and transverters,
# the DSP modems, and the driver library on Hamlib.
orva_library(NAME orva_station_rig
  SOURCES
    rotator/line_reader.cpp
    rotator/rotator_models.cpp
    rotator/easycomm.cpp
    rotator/gs232.cpp
    rotator/trakbox.cpp
    rotator/sattrak.cpp
    rotator/paced_writer.cpp
    rotator/tracking_tick.cpp
    rotator/controller_port.cpp
    rotator/rig_control.cpp
    radio/doppler.cpp
    radio/transverters.cpp
    radio/pass_frequencies.cpp
    modem/dsp_modem.cpp
    modem/dsp_control.cpp
  DEPS orva_station_orbit orva_station_schedule orva_station_core orva_platform_threads)

orva_test(MODULE station NAME test_station_rig
  SOURCES
    tests/rotator_commands_test.cpp
    tests/rotator_dialogues_test.cpp
    tests/radio_test.cpp
    tests/dsp_modem_test.cpp
  DEPS orva_station_rig)

orva_fuzzer(NAME rotator_replies SOURCES ${PROJECT_SOURCE_DIR}/fuzz/rotator_replies.cpp DEPS orva_station_rig)

# The driver library on Hamlib, and its tests against rotctld and rigctld.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HAMLIB REQUIRED IMPORTED_TARGET hamlib)
orva_library(NAME orva_station_hamlib
  SOURCES radio/hamlib_driver.cpp
  DEPS orva_station_rig PkgConfig::HAMLIB)

orva_test(MODULE station NAME test_station_rig_devices
  SOURCES
    tests/rig_control_test.cpp
    tests/dsp_control_test.cpp
  DEPS orva_station_hamlib orva_platform_serial
  TIMEOUT 120)

# The dummy rotator of rotctld turns in real time: these runs mostly wait for it, beside other tests.
orva_test(MODULE station NAME test_station_rig_hamlib
  SOURCES
    tests/hamlib_driver_test.cpp
    tests/rig_level1_test.cpp
  DEPS orva_station_hamlib orva_platform_serial
  SLOW TIMEOUT 300)

# The rotator, radio and modem on real ports and Hamlib, for Helmo's hosts and `orva track`.
orva_library(NAME orva_station_rig_host
  SOURCES app/station_rig.cpp
  DEPS orva_station_hamlib orva_platform_serial orva_common_elements orva_common_settings)
if(TARGET orva_station_app)
  target_link_libraries(orva_station_app PUBLIC orva_station_rig_host)
endif()

# The "Setup" chooser of Hamlib models and devices, for the window's rotator page.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_station_hamlib_dialog
    SOURCES app/hamlib_setup_dialog.cpp
    DEPS orva_station_hamlib Qt6::Widgets
    QT)
  orva_test(MODULE station NAME test_station_hamlib_dialog
    SOURCES tests/hamlib_setup_dialog_test.cpp
    DEPS orva_station_hamlib_dialog Qt6::Widgets
    QT)
endif()
