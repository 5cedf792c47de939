# A whole pass through two real soundcard TNCs (direwolf): satsim as a server in service behind
# one, brek on the other.
if(ORVA_BUILD_APPS)
  orva_test(MODULE tools NAME tools_satsim_radio_pass_test SERIAL SLOW TIMEOUT 420
    SOURCES tests/satsim_radio_pass_test.cpp
    DEPS orva_common_pfh orva_common_settings orva_test_child orva_tools_hash)
  if(TARGET tools_satsim_radio_pass_test)
    target_compile_definitions(tools_satsim_radio_pass_test PRIVATE ORVA_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
    add_dependencies(tools_satsim_radio_pass_test brek orva-satsim)
  endif()
endif()
