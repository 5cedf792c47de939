# The demo station's element sets are compiled in, so `orva setup --demo` works from any folder.
set(ORVA_DEMO_ELEMENTS_NAME demo-elements-2026-342.txt)
file(READ ${PROJECT_SOURCE_DIR}/demo/elements/${ORVA_DEMO_ELEMENTS_NAME} ORVA_DEMO_ELEMENTS_TEXT)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/demo/elements/${ORVA_DEMO_ELEMENTS_NAME})
configure_file(setup/demo_elements.cpp.in ${CMAKE_CURRENT_BINARY_DIR}/demo_elements.cpp @ONLY)

orva_library(NAME orva_cli_setup
  SOURCES setup/demo_station.cpp ${CMAKE_CURRENT_BINARY_DIR}/demo_elements.cpp
  DEPS orva_common_settings orva_common_elements orva_common_element_import)
orva_program(NAME orva-setup SOURCES setup/main.cpp DEPS orva_cli_setup orva_station_setup)

orva_test(MODULE cli NAME cli_setup_test
  SOURCES tests/setup_test.cpp
  DEPS orva_cli_setup)

# A new operator's own station: orva setup, orva sat add, elemix, orva passes, helmo --headless.
if(ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_own_station_test SERIAL TIMEOUT 180
    SOURCES tests/own_station_test.cpp
    DEPS orva_cli_demo orva_common_settings orva_platform_store orva_test_child)
  if(TARGET cli_own_station_test)
    orva_test_needs(cli_own_station_test orva orva-setup orva-sat orva-reg orva-passes orva-doctor elemix helmo)
  endif()
endif()
