# brek-screenshot: Brek's window over a pass against the simulated satellite, saved as a picture.
if(ORVA_BUILD_APPS)
  orva_program(NAME brek-screenshot
    SOURCES screenshots/brek_screenshot.cpp
    DEPS orva_engine_brek_host orva_engine_window)
endif()
