# The web view's own logic, without Qt or sockets: request targets and routes, who may do what,
# the documents it serves, its settings and what it reads from the satellites' folders.
orva_library(NAME orva_station_web
  SOURCES
    web/request_target.cpp
    web/web_access.cpp
    web/web_routes.cpp
    web/web_json.cpp
    web/web_settings.cpp
    web/station_files.cpp
  DEPS orva_station_core orva_station_map orva_dirview orva_common_util orva_common_settings OpenSSL::Crypto)

orva_test(MODULE station NAME test_station_web
  SOURCES tests/web_request_test.cpp tests/web_documents_test.cpp
  DEPS orva_station_web)

orva_fuzzer(NAME web_request SOURCES ${PROJECT_SOURCE_DIR}/fuzz/web_request.cpp DEPS orva_station_web)
