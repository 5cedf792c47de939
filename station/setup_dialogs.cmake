# Helmo's setup dialogs (Qt widgets over the setup, housekeeping and viewer libraries). Each dialog
# is a class that takes the store and opens on its own; the main window only creates them.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_station_setup_dialogs
    SOURCES
      app/setup/form_widget.cpp
      app/setup/satellite_pages.cpp
      app/setup/satellite_wizard.cpp
      app/setup/satellite_sheet.cpp
      app/setup/satellites_dialog.cpp
      app/setup/station_sheet.cpp
    DEPS orva_station_setup Qt6::Widgets
    QT)

  orva_test(MODULE station NAME test_station_setup_dialogs SERIAL TIMEOUT 120
    SOURCES tests/setup_dialogs_test.cpp
    DEPS orva_station_setup_dialogs Qt6::Widgets
    QT)
  if(TARGET test_station_setup_dialogs)
    add_dependencies(test_station_setup_dialogs orva-sat)
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "")
  endif()
endif()
