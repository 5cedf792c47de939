# PACSAT file header: parser, builder, the upload layout and the file-size sniffer, shared by Brek, Tessel and Dispo.
orva_library(NAME orva_common_pfh
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pfh/pfh.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pfh/pfh_builder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pfh/upload_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pfh/file_size_sniffer.cpp
  DEPS orva_result)

orva_test(MODULE common NAME common_pfh_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pfh/tests/pfh_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pfh/tests/upload_layout_test.cpp
  DEPS orva_common_pfh)

orva_fuzzer(NAME pfh_parser SOURCES ${PROJECT_SOURCE_DIR}/fuzz/pfh_parser.cpp DEPS orva_common_pfh)
