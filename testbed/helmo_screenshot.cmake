# screen-grab: the whole X screen, or one window by its title, as a picture (Helmo's screenshot is
# taken from another process). The X client library comes with Qt's development files.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME screen-grab SOURCES screenshots/screen_grab.cpp DEPS Qt6::Gui xcb)
endif()
