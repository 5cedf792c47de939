# A whole pass through two real soundcard TNCs (direwolf): satsim as a server in service behind
# one, brek on the other.
if(ORVA_BUILD_APPS)
  orva_test(MODULE testbed NAME testbed_satsim_radio_pass_test SERIAL SLOW TIMEOUT 420
    SOURCES tests/satsim_radio_pass_test.cpp
    DEPS orva_common_pfh orva_common_settings orva_test_child orva_cli_hash)
  if(TARGET testbed_satsim_radio_pass_test)
    add_dependencies(testbed_satsim_radio_pass_test brek orva-satsim)
  endif()
endif()
