# screen-grab: the whole X screen as a picture (Helmo's screenshot is taken from another process).
if(ORVA_BUILD_APPS)
  orva_program(NAME screen-grab SOURCES screenshots/screen_grab.cpp DEPS Qt6::Gui)
endif()
