# Element-text import (NASA two-line and AMSAT verbose formats) and the merge into the element
# database; shared by the station, the element merge program and the engine's KEPSET update.
orva_library(NAME orva_common_element_import
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/element_import/nasa_parser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/element_import/amsat_parser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/element_import/numeric_field.cpp
    ${CMAKE_CURRENT_LIST_DIR}/element_import/element_merge.cpp
    ${CMAKE_CURRENT_LIST_DIR}/element_import/import_file.cpp
  DEPS orva_common_elements orva_common_util)

orva_test(MODULE common NAME test_common_element_import
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/element_import_test.cpp
  DEPS orva_common_element_import)

orva_fuzzer(NAME nasa_elements SOURCES ${PROJECT_SOURCE_DIR}/fuzz/nasa_elements.cpp DEPS orva_common_element_import)
orva_fuzzer(NAME amsat_elements SOURCES ${PROJECT_SOURCE_DIR}/fuzz/amsat_elements.cpp DEPS orva_common_element_import)
