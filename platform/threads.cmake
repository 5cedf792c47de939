# Clock (the system's, or one shared by several programs), timers, events and worker threads: what
# every waiting component is handed.
orva_library(NAME orva_platform_threads
  SOURCES wait_list.cpp clock.cpp shared_clock.cpp timers.cpp manual_event.cpp
  DEPS Threads::Threads)

orva_test(MODULE platform NAME platform_threads_test
  SOURCES tests/clock_test.cpp tests/shared_clock_test.cpp tests/manual_event_test.cpp
  DEPS orva_platform_threads)
