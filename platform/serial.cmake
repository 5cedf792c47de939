# Byte links: serial devices (termios) and KISS over TCP, and the COM-name mapping.
orva_library(NAME orva_platform_serial
  SOURCES port_names.cpp fd_stream.cpp serial_port.cpp serial_speed.cpp store_ports.cpp
  DEPS orva_result orva_platform_store Threads::Threads util)

orva_test(MODULE platform NAME platform_serial_test
  SOURCES tests/serial_port_test.cpp tests/port_names_test.cpp
  DEPS orva_platform_serial orva_platform_threads util)
