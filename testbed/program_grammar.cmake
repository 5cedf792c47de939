# Every installed program answers --help and --version without a display, a store or a bus, ends
# a usage error with 2, and has a man page that names every option and subcommand its --help shows.
# The list of installed programs is written here, once every module has declared its programs.
get_property(orva_installed GLOBAL PROPERTY ORVA_INSTALLED_PROGRAMS)
list(SORT orva_installed)
string(REPLACE ";" "\n" orva_installed_text "${orva_installed}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/installed-programs.txt CONTENT "${orva_installed_text}\n")

orva_test(MODULE testbed NAME testbed_program_grammar_test
  SOURCES tests/program_grammar_test.cpp
  DEPS orva_test_child orva_version)
if(TARGET testbed_program_grammar_test)
  orva_test_needs(testbed_program_grammar_test ${orva_installed})
endif()
