# Starting the suite's programs and the Linux tools that stand in for the DOS ones.
orva_library(NAME orva_platform_launcher
  SOURCES command_line.cpp launcher.cpp user_guide.cpp sound_player.cpp
  DEPS orva_result Threads::Threads)
# A program run from the build tree finds the guide in the sources it was built from.
target_compile_definitions(orva_platform_launcher PRIVATE ORVA_SOURCE_DOCS="${PROJECT_SOURCE_DIR}/docs")

if(ORVA_BUILD_TESTS)
  add_executable(platform_test_child tests/test_child.cpp)
  set_target_properties(platform_test_child PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
endif()
orva_test(MODULE platform NAME platform_launcher_test
  SOURCES tests/command_line_test.cpp tests/launcher_test.cpp
  DEPS orva_platform_launcher)
if(TARGET platform_launcher_test)
  orva_test_needs(platform_launcher_test platform_test_child)
  target_compile_definitions(platform_launcher_test PRIVATE ORVA_TEST_CHILD="$<TARGET_FILE:platform_test_child>")
endif()

orva_fuzzer(NAME command_line SOURCES ${PROJECT_SOURCE_DIR}/fuzz/command_line.cpp
  DEPS orva_platform_launcher orva_platform_serial)
