# Whole passes through two real soundcard TNCs (direwolf, started by testbed/radio-link/radio-link
# and joined by radio-channel): satsim as a server in service behind one, brek on the other.
if(ORVA_BUILD_APPS)
  orva_test(MODULE testbed NAME testbed_satsim_radio_pass_test SERIAL SLOW TIMEOUT 420
    SOURCES tests/satsim_radio_pass_test.cpp
    DEPS orva_common_pfh orva_common_settings orva_test_child orva_cli_hash)
  if(TARGET testbed_satsim_radio_pass_test)
    orva_test_needs(testbed_satsim_radio_pass_test brek orva-satsim radio-channel)
  endif()
endif()

# The same at 1200 bit/s (AFSK): a message queued by quillet goes up and comes back down.
if(ORVA_BUILD_APPS)
  orva_test(MODULE testbed NAME testbed_satsim_radio_upload_test SERIAL SLOW TIMEOUT 300
    SOURCES tests/satsim_radio_upload_test.cpp
    DEPS orva_common_pfh orva_common_settings orva_test_child orva_cli_hash)
  if(TARGET testbed_satsim_radio_upload_test)
    orva_test_needs(testbed_satsim_radio_upload_test brek orva-satsim quillet radio-channel)
  endif()
endif()
