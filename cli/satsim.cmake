# orva satsim: the simulated PACSAT satellite the demo and the end-to-end tests run against.
orva_library(NAME orva_cli_satsim
  SOURCES satsim/served_file.cpp satsim/satellite.cpp satsim/channel.cpp satsim/transmitter.cpp
  DEPS orva_engine_frames orva_common_pfh orva_common_util)
orva_program(NAME orva-satsim SOURCES satsim/main.cpp DEPS orva_cli_satsim orva_cli_satsim_ftl0 orva_cli_hash orva_platform_threads)

orva_test(MODULE cli NAME cli_satsim_test
  SOURCES tests/satsim_test.cpp
  DEPS orva_cli_satsim)
