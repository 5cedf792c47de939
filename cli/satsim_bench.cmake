# A lossy pass with satsim in the same process as the engine's session, against the ideal time.
orva_benchmark(NAME satsim_pass SOURCES ${PROJECT_SOURCE_DIR}/bench/satsim_pass.cpp
  DEPS orva_engine_session orva_cli_satsim_ftl0 orva_cli_satsim orva_common_pfh GTest::gtest)

orva_fuzzer(NAME satsim_uplink SOURCES ${PROJECT_SOURCE_DIR}/fuzz/satsim_uplink.cpp
  DEPS orva_cli_satsim_ftl0 orva_cli_satsim)
