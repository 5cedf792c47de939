# A running Helmo follows the setup: the property sheet's save, `orva sat` and `orva station`.
if(ORVA_BUILD_APPS AND TARGET orva_station_setup_dialogs)
  orva_test(MODULE station NAME test_station_helmo_setup_sync
    SOURCES tests/helmo_setup_sync_test.cpp
    DEPS orva_station_app orva_station_setup_dialogs Qt6::Widgets
    QT SERIAL TIMEOUT 120)
  if(TARGET test_station_helmo_setup_sync)
    orva_test_needs(test_station_helmo_setup_sync orva-sat orva-station)
  endif()
endif()
