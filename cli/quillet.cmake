# quillet: the least message composer; queues a text message as an ".OUT" upload file.
orva_library(NAME orva_cli_quillet
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/quillet/message_file.cpp
  DEPS orva_common_pfh orva_common_util)
orva_program(NAME quillet SOURCES quillet/main.cpp
  DEPS orva_cli_quillet orva_common_settings orva_platform_launcher)

orva_test(MODULE cli NAME cli_quillet_test
  SOURCES tests/quillet_test.cpp
  DEPS orva_cli_quillet orva_common_settings orva_platform_launcher orva_cli_satsim_ftl0 orva_engine_upload)
if(TARGET cli_quillet_test)
  orva_test_needs(cli_quillet_test quillet)
endif()
