# Requests while a broadcast comes down, against the in-process simulated satellite.
orva_test(MODULE engine NAME engine_requests_on_air_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/requests_on_air_test.cpp
  DEPS orva_engine_session orva_cli_satsim orva_cli_satsim_ftl0)
