# The suite installed to a temporary prefix runs the demo station from there (one whole run, on
# its own session bus, so it runs beside other tests).
if(ORVA_BUILD_TESTS AND ORVA_BUILD_APPS)
  add_test(NAME cli_installed_demo
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/installed_demo.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(cli_installed_demo PROPERTIES LABELS "cli;slow" TIMEOUT 400)
endif()
