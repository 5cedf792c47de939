# orva web: turns the station's web page on and off, sets its address and its access token.
orva_program(NAME orva-web SOURCES web/main.cpp DEPS orva_station_web orva_cli_doctor)

# The page over a real helmo working a simulated pass, and in a real headless Chromium.
if(ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_web_view_test SLOW SERIAL TIMEOUT 600
    SOURCES tests/web_view_test.cpp tests/cdp_client.cpp
    DEPS orva_cli_demo orva_cli_setup orva_station_web orva_station_orbit PkgConfig::HTTPLIB Qt6::Core)
  if(TARGET cli_web_view_test)
    orva_test_needs(cli_web_view_test helmo brek orva-satsim)
  endif()
endif()
