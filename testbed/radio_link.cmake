# radio-channel: the audio between the radio link's two direwolf TNCs (testbed/radio-link/radio-link
# starts them all). A test-bench program: it stays in the build folder.
orva_library(NAME orva_testbed_air_path SOURCES radio-link/air_path.cpp)
orva_program(NOINSTALL NAME radio-channel SOURCES radio-link/channel_main.cpp DEPS orva_testbed_air_path)
orva_test(MODULE testbed NAME testbed_radio_air_path_test
  SOURCES tests/radio_air_path_test.cpp
  DEPS orva_testbed_air_path)
