# setup-screenshot: the setup wizard's first page and the Station sheet as pictures for the guide.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME setup-screenshot
    SOURCES screenshots/setup_screenshot.cpp
    DEPS orva_station_setup_dialogs Qt6::Widgets)
endif()
