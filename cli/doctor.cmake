# orva doctor: the station's setup checked, one line per check.
orva_library(NAME orva_cli_doctor SOURCES doctor/doctor.cpp
  DEPS orva_common_settings orva_common_elements orva_platform_serial orva_platform_store)
orva_program(NAME orva-doctor SOURCES doctor/main.cpp DEPS orva_cli_doctor)

orva_test(MODULE cli NAME cli_doctor_test
  SOURCES tests/doctor_test.cpp
  DEPS orva_cli_doctor orva_cli_setup)
