# The tree needs nothing beside it: no build file, script or test may reach out of the checkout.
if(ORVA_BUILD_TESTS)
  add_test(NAME testbed_no_path_leaves_the_checkout
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tree-check/outside_paths.py ${PROJECT_SOURCE_DIR})
  set_tests_properties(testbed_no_path_leaves_the_checkout PROPERTIES LABELS testbed TIMEOUT 60)
endif()
