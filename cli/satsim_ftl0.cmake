# The simulated satellite's FTL0 upload server (connected-mode acceptor and FTL0 server).
orva_library(NAME orva_cli_satsim_ftl0
  SOURCES satsim/ftl0/ftl0_server.cpp satsim/ftl0/uploaded_file.cpp satsim/ftl0/server_downlink.cpp
  DEPS orva_engine_frames orva_cli_satsim orva_common_pfh)

orva_test(MODULE cli NAME cli_satsim_ftl0_test
  SOURCES tests/satsim_ftl0_test.cpp
  DEPS orva_cli_satsim_ftl0 orva_engine_upload)

# A busy server in service: its link answers wait behind the broadcasts queued in its TNC.
orva_test(MODULE cli NAME cli_satsim_busy_server_test
  SOURCES tests/satsim_busy_server_test.cpp
  DEPS orva_cli_satsim_ftl0 orva_engine_upload)

orva_test(MODULE cli NAME cli_satsim_ftl0_pty_test TIMEOUT 120
  SOURCES tests/satsim_ftl0_pty_test.cpp
  DEPS orva_engine_upload)
if(TARGET cli_satsim_ftl0_pty_test)
  orva_test_needs(cli_satsim_ftl0_pty_test orva-satsim)
endif()
