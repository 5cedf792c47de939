# Small helpers every program uses: atomic file writes, file-number names and case-insensitive
# lookups, station time, tilde arguments, the environment of a started program.
orva_library(NAME orva_common_util
  SOURCES atomic_file.cpp file_names.cpp station_time.cpp tilde_args.cpp json_writer.cpp child_environment.cpp
  DEPS orva_result)

orva_test(MODULE common NAME common_util_test
  SOURCES tests/util_test.cpp tests/json_writer_test.cpp
  DEPS orva_common_util)
