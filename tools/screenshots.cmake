# brek-screenshot: Brek's window over a pass against the simulated satellite, saved as a picture.
if(ORVA_BUILD_APPS)
  orva_program(NAME brek-screenshot
    SOURCES screenshots/brek_screenshot.cpp ${PROJECT_SOURCE_DIR}/engine/app/link_port.cpp
    DEPS orva_engine_window)
endif()
