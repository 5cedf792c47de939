# satsim as a server in service behaves, checked against a recorded session with such a server.
orva_test(MODULE cli NAME cli_satsim_real_server_test
  SOURCES tests/satsim_real_server_test.cpp
  DEPS orva_cli_satsim_ftl0 orva_cli_satsim orva_engine_frames orva_engine_link orva_engine_upload orva_common_pfh)
