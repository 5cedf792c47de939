# brek-screenshot: Brek's window over a pass against the simulated satellite, saved as a picture.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME brek-screenshot
    SOURCES screenshots/brek_screenshot.cpp
    DEPS orva_engine_brek_host orva_engine_window)
endif()

# pixora-screenshot: Pixora with an image and its information box, drawn into one picture.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME pixora-screenshot SOURCES screenshots/pixora_screenshot.cpp DEPS orva_ccdview_window QT)
endif()
