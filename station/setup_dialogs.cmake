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
      app/setup/option_dialog.cpp
      app/setup/housekeeping_dialog.cpp
      app/setup/list_printer.cpp
      app/setup/viewer_dialogs.cpp
      app/setup/programs_dialog.cpp
      app/setup/about_dialog.cpp
      app/setup/sound_player.cpp
      app/setup/first_start_dialog.cpp
    DEPS orva_station_setup orva_station_housekeeping orva_station_viewers orva_platform_launcher
      orva_station_hamlib_dialog orva_version Qt6::Widgets Qt6::PrintSupport
    QT)

  orva_test(MODULE station NAME test_station_setup_dialogs SERIAL TIMEOUT 120
    SOURCES tests/setup_dialogs_test.cpp tests/option_dialogs_test.cpp
    DEPS orva_station_setup_dialogs orva_platform_dbus Qt6::Widgets Qt6::PrintSupport
    QT)
  if(TARGET test_station_setup_dialogs)
    orva_test_needs(test_station_setup_dialogs orva-sat)
  endif()
endif()

