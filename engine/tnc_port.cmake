# Brek's TNC path through a real device: the session over the port's threads to a TNC on a
# pseudo-terminal or a modem on a loopback socket.
orva_test(MODULE engine NAME engine_tnc_port_test TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tnc_port_test.cpp
  DEPS orva_engine_link_host orva_engine_session orva_engine_frames orva_platform_serial)
