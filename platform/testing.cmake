# Helpers that only tests link: starting our programs and reading what they print.
if(ORVA_BUILD_TESTS)
  orva_library(NAME orva_test_child SOURCES testing/child_process.cpp)
endif()
