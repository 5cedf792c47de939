# The Brek program against the simulated satellite program: uploads in one lossy pass, and a
# captured pass replayed into a fresh folder.
if(ORVA_BUILD_APPS)
  orva_test(MODULE engine NAME engine_program_pass_test SERIAL SLOW TIMEOUT 600
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/brek_program_pass_test.cpp
    DEPS orva_common_pfh orva_common_settings orva_test_child)
  orva_test_needs(engine_program_pass_test brek orva-satsim)
endif()
