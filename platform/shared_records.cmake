# Fixed-size records of one file mapped into several processes (the download-status table).
orva_library(NAME orva_platform_shared_records SOURCES shared_records.cpp DEPS orva_result)

orva_test(MODULE platform NAME platform_shared_records_test
  SOURCES tests/shared_records_test.cpp
  DEPS orva_platform_shared_records)

orva_benchmark(NAME platform SOURCES ${PROJECT_SOURCE_DIR}/bench/platform.cpp
  DEPS orva_platform_shared_records orva_platform_threads)
