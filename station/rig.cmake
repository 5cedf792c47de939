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
    radio/doppler.cpp
    radio/transverters.cpp
    radio/pass_frequencies.cpp
    modem/dsp_modem.cpp
  DEPS orva_station_orbit orva_station_core orva_platform_threads)

orva_test(MODULE station NAME test_station_rig
  SOURCES
    tests/rotator_commands_test.cpp
    tests/rotator_dialogues_test.cpp
    tests/radio_test.cpp
    tests/dsp_modem_test.cpp
  DEPS orva_station_rig)

orva_fuzzer(NAME rotator_replies SOURCES ${PROJECT_SOURCE_DIR}/fuzz/rotator_replies.cpp DEPS orva_station_rig)
