# satsim as a server in service behaves, checked against a recorded session with such a server.
orva_test(MODULE tools NAME tools_satsim_real_server_test
  SOURCES tests/satsim_real_server_test.cpp
  DEPS orva_tools_satsim_ftl0 orva_tools_satsim orva_engine_frames orva_engine_link orva_engine_upload orva_common_pfh)
if(TARGET tools_satsim_real_server_test)
  target_compile_definitions(tools_satsim_real_server_test PRIVATE ORVA_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
endif()
