# The command-line grammar every program shares (--help, --version, usage errors), over CLI11.
orva_library(NAME orva_platform_options SOURCES options/program_options.cpp DEPS orva_version)

orva_test(MODULE platform NAME platform_options_test
  SOURCES tests/program_options_test.cpp
  DEPS orva_platform_options)
