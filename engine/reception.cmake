# Brek's reception: the directory store and status table, file reception with hole lists, the
# broadcast request scheduler.

orva_library(NAME orva_engine_directory
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/directory/status_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/directory_holes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/directory_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/header_assembler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/directory_store.cpp
  DEPS orva_engine_frames orva_engine_select orva_common_pfh orva_common_util orva_platform_shared_records)

orva_library(NAME orva_engine_files
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/files/hole_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/files/hole_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/files/file_receiver.cpp
  DEPS orva_engine_directory)

orva_test(MODULE engine NAME engine_reception_directory_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/reception_directory_test.cpp
  DEPS orva_engine_directory)

orva_test(MODULE engine NAME engine_reception_files_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/reception_files_test.cpp
  DEPS orva_engine_files)

orva_library(NAME orva_engine_requests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/requests/wanted_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/requests/request_scheduler.cpp
  DEPS orva_engine_directory)

orva_test(MODULE engine NAME engine_reception_requests_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/reception_requests_test.cpp
  DEPS orva_engine_requests)

orva_library(NAME orva_engine_reception
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app/reception_engine.cpp
  DEPS orva_engine_files orva_engine_requests)

orva_fuzzer(NAME hole_file SOURCES ${PROJECT_SOURCE_DIR}/fuzz/hole_file.cpp DEPS orva_engine_files)
orva_fuzzer(NAME directory_files SOURCES ${PROJECT_SOURCE_DIR}/fuzz/directory_files.cpp DEPS orva_engine_directory)
orva_benchmark(NAME engine_receive SOURCES ${PROJECT_SOURCE_DIR}/bench/engine_receive.cpp DEPS orva_engine_reception)

orva_test(MODULE engine NAME engine_reception_engine_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/reception_engine_test.cpp
  DEPS orva_engine_reception)
