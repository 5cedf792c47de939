# orva elements: element sets fetched from the network and merged as Elemix merges a file.
if(ORVA_BUILD_APPS)
  orva_program(NAME orva-elements SOURCES elements/main.cpp
    DEPS orva_elemupd_network orva_cli_tell_station Qt6::Core)
endif()

if(ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_elements_test SERIAL TIMEOUT 120
    SOURCES tests/elements_test.cpp
    DEPS orva_elemupd_network orva_common_settings orva_test_child)
  if(TARGET cli_elements_test)
    orva_test_needs(cli_elements_test orva-elements)
  endif()
  orva_test(MODULE cli NAME cli_elements_notice_test SERIAL TIMEOUT 120
    SOURCES tests/elements_notice_test.cpp
    DEPS orva_elemupd_network orva_common_settings orva_platform_dbus Qt6::Core)
  if(TARGET cli_elements_notice_test)
    orva_test_needs(cli_elements_notice_test orva-elements)
  endif()
endif()
