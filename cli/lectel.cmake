# lectel: the least message viewer the mail processor starts on the operator's own mail.
if(ORVA_BUILD_APPS)
  orva_program(NAME lectel SOURCES lectel/main.cpp DEPS orva_platform_launcher orva_common_util Qt6::Widgets)
  orva_test(MODULE cli NAME cli_lectel_test SOURCES tests/lectel_test.cpp DEPS orva_test_child)
  if(TARGET cli_lectel_test)
    orva_test_needs(cli_lectel_test lectel)
  endif()
endif()
