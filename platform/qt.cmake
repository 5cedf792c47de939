# Pieces for the Qt hosts that are not about the bus.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_platform_qt
    SOURCES qt/event_loop_timers.cpp
    DEPS orva_platform_threads Qt6::Core)

  orva_test(MODULE platform NAME platform_qt_test
    SOURCES tests/event_loop_timers_test.cpp
    DEPS orva_platform_qt)
endif()
