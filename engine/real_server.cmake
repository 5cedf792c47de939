# Reception against the habits of PACSAT servers in service, and a captured session with one
# (testbed/data/real-server).
orva_test(MODULE engine NAME engine_real_server_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/real_server_test.cpp
  DEPS orva_engine_reception)
