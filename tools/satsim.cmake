# orva satsim: the simulated PACSAT satellite the demo and the end-to-end tests run against.
orva_library(NAME orva_tools_satsim
  SOURCES satsim/served_file.cpp satsim/satellite.cpp satsim/channel.cpp
  DEPS orva_engine_frames orva_common_pfh orva_common_util)
orva_program(NAME orva-satsim SOURCES satsim/main.cpp DEPS orva_tools_satsim)
