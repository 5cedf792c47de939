# The web view inside the Helmo program: cpp-httplib's server over our router, the page built into
# the program, and the view that feeds it from the station host.
if(ORVA_BUILD_APPS)
  set(web_assets index.html app.js app.css icon.svg)
  list(TRANSFORM web_assets PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/app/web/assets/ OUTPUT_VARIABLE web_asset_files)
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp
    COMMAND ${CMAKE_COMMAND} -DASSET_DIR=${CMAKE_CURRENT_SOURCE_DIR}/app/web/assets
            -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp -P ${PROJECT_SOURCE_DIR}/cmake/embed_web_assets.cmake
    DEPENDS ${web_asset_files} ${PROJECT_SOURCE_DIR}/cmake/embed_web_assets.cmake
    COMMENT "Building the web page into the program")
  orva_library(NAME orva_station_web_app QT
    SOURCES
      app/web/event_feed.cpp
      app/web/web_server.cpp
      app/web/web_view.cpp
      ${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp
    DEPS orva_station_app orva_station_web orva_station_map_window orva_cli_doctor orva_platform_dbus
         PkgConfig::HTTPLIB Qt6::Gui Qt6::Core)
  target_link_libraries(helmo PRIVATE orva_station_web_app)
endif()
