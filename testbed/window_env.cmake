# Window tests carry QT_QPA_PLATFORM=offscreen in their own test properties: a plain `ctest` in a
# build folder, without the test preset's environment and with no display, still passes them.
if(ORVA_BUILD_TESTS AND ORVA_BUILD_APPS)
  add_test(NAME testbed_window_tests_need_no_display
    COMMAND ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORM --unset=DISPLAY --unset=WAYLAND_DISPLAY
            ${CMAKE_CTEST_COMMAND} --test-dir ${PROJECT_BINARY_DIR} --no-tests=error --output-on-failure
            -R "^Window\\.FilesTheDownloadsShowsTheStatusLineAndClosesItself$")
  set_tests_properties(testbed_window_tests_need_no_display PROPERTIES LABELS testbed TIMEOUT 120)
endif()
