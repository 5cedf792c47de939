orva_library(NAME orva_tools_setup SOURCES setup/demo_station.cpp DEPS orva_common_settings)
orva_program(NAME orva-setup SOURCES setup/main.cpp DEPS orva_tools_setup)

orva_test(MODULE tools NAME tools_setup_test
  SOURCES tests/setup_test.cpp
  DEPS orva_tools_setup)
