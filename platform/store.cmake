# The configuration store (registry stand-in) on SQLite.
orva_library(NAME orva_platform_store SOURCES store/store.cpp DEPS orva_result SQLite::SQLite3)

orva_test(MODULE platform NAME platform_store_test
  SOURCES tests/store_test.cpp
  DEPS orva_platform_store)
