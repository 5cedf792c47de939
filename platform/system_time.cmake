# Setting the system clock, or refusing clearly.
orva_library(NAME orva_platform_system_time SOURCES system_time.cpp DEPS orva_platform_threads)

orva_test(MODULE platform NAME platform_system_time_test
  SOURCES tests/system_time_test.cpp
  DEPS orva_platform_system_time)
