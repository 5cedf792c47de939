# Element database "Orva.KEP" and observer file "ORVA.OBS": record layouts and file access.
orva_library(NAME orva_common_elements
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/elements/kep_record.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elements/kep_database.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elements/kep_edit_fields.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elements/observer_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elements/file_io.cpp
  DEPS orva_result orva_common_util)

orva_test(MODULE common NAME test_common_elements
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tests/kep_record_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kep_database_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/kep_edit_fields_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/observer_file_test.cpp
  DEPS orva_common_elements)
