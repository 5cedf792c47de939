# Typed access to the store: every key's record with its readers' defaults and clamps.
orva_library(NAME orva_common_settings
  SOURCES settings/suite_settings.cpp settings/satellite_record.cpp settings/engine_stores.cpp
    settings/subkey_records.cpp settings/event_sound.cpp
  DEPS orva_platform_store orva_common_util)

orva_test(MODULE common NAME common_settings_test
  SOURCES tests/settings_test.cpp
  DEPS orva_common_settings)
