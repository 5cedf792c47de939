# first-start-screenshot: Helmo's first-start setup as a picture for the README.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME first-start-screenshot
    SOURCES screenshots/first_start_screenshot.cpp
    DEPS orva_station_setup_dialogs Qt6::Widgets)
endif()
