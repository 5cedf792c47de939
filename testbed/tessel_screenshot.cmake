# tessel-screenshot: Tessel's window over a received directory, saved as a picture.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME tessel-screenshot
    SOURCES screenshots/tessel_screenshot.cpp
    DEPS orva_dirview_window)
endif()
