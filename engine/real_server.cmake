# Reception against the habits of PACSAT servers in service, and a captured session with one.
orva_test(MODULE engine NAME engine_real_server_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/real_server_test.cpp
  DEPS orva_engine_reception)
if(TARGET engine_real_server_test)
  target_compile_definitions(engine_real_server_test PRIVATE
    ORVA_REAL_SERVER_DIR="${PROJECT_SOURCE_DIR}/../shared/data/real-server")
endif()
