# Brek's upload client (AX.25 connected mode and FTL0) and its session record (the log, the
# capture files, satellite time and replay).

orva_library(NAME orva_engine_log
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/log/utc_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log/session_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log/efficiency_meter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log/capture_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log/satellite_clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log/kiss_replay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log/session_recorder.cpp
  DEPS orva_engine_frames orva_common_util orva_platform_system_time)

orva_library(NAME orva_engine_upload
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/upload/ax25_control.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload/connected_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload/ftl0_packet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload/upload_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload/upload_header.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload/upload_client.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload/upload_host.cpp
  DEPS orva_engine_frames orva_engine_log orva_common_pfh orva_common_settings orva_common_util)

orva_test(MODULE engine NAME engine_upload_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/upload_link_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/upload_client_test.cpp
  DEPS orva_engine_upload)

orva_test(MODULE engine NAME engine_upload_log_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/upload_log_test.cpp
  DEPS orva_engine_log)

orva_fuzzer(NAME ftl0_answer SOURCES ${PROJECT_SOURCE_DIR}/fuzz/ftl0_answer.cpp DEPS orva_engine_upload)
orva_fuzzer(NAME connected_link SOURCES ${PROJECT_SOURCE_DIR}/fuzz/connected_link.cpp DEPS orva_engine_upload)
