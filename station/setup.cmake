# The editing rules of the setup pages (no Qt), shared by Helmo's dialogs and `orva sat`/`orva station`.
orva_library(NAME orva_station_setup
  SOURCES
    setup/form.cpp
    setup/satellite_setup.cpp
    setup/station_setup.cpp
    setup/option_setup.cpp
    setup/programs_setup.cpp
    setup/locator.cpp
    setup/first_setup.cpp
  DEPS orva_common_settings orva_common_elements)

orva_test(MODULE station NAME test_station_setup
  SOURCES tests/satellite_setup_test.cpp tests/option_setup_test.cpp tests/locator_test.cpp tests/first_setup_test.cpp
  DEPS orva_station_setup)
