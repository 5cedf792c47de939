# Passes edited and added by hand: the core's edit calls over a simulated run, without a window.
orva_test(MODULE station NAME test_station_pass_edit
  SOURCES tests/pass_edit_test.cpp
  DEPS orva_station_core)
