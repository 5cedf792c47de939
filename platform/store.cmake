# The configuration store (registry stand-in) on SQLite, and its text form for operators.
orva_library(NAME orva_platform_store SOURCES store/store.cpp store/store_text.cpp DEPS orva_result SQLite::SQLite3)

orva_test(MODULE platform NAME platform_store_test
  SOURCES tests/store_test.cpp tests/store_text_test.cpp
  DEPS orva_platform_store)

orva_fuzzer(NAME store_text SOURCES ${PROJECT_SOURCE_DIR}/fuzz/store_text.cpp DEPS orva_platform_store)
