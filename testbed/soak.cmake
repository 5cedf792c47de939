# orva-soak: days of unattended operation in minutes, on one shared fast clock, with faults. The
# plan, the checks and the process helpers are a library its tests use; the program stays in the
# build folder.
orva_library(NAME orva_testbed_soak
  SOURCES soak/soak_plan.cpp soak/soak_checks.cpp soak/soak_files.cpp soak/soak_processes.cpp
  DEPS orva_engine_files orva_common_pfh orva_common_util orva_cli_hash)

orva_test(MODULE testbed NAME testbed_soak_test
  SOURCES tests/soak_plan_test.cpp tests/soak_checks_test.cpp
  DEPS orva_testbed_soak)

if(ORVA_BUILD_APPS)
  # helmo runs as its service unit says: its arguments, restart delay and stop timeout.
  set(unit_file ${PROJECT_SOURCE_DIR}/packaging/systemd/orva-helmo.service.in)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${unit_file})
  file(STRINGS ${unit_file} unit_lines)
  set(unit_args "--headless")
  set(unit_restart 10)
  set(unit_stop 30)
  foreach(line ${unit_lines})
    if(line MATCHES "^ExecStart=[^ ]+ (.*)$")
      set(unit_args "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^RestartSec=([0-9]+)$")
      set(unit_restart ${CMAKE_MATCH_1})
    elseif(line MATCHES "^TimeoutStopSec=([0-9]+)$")
      set(unit_stop ${CMAKE_MATCH_1})
    endif()
  endforeach()

  orva_program(NAME orva-soak NOINSTALL SOURCES soak/main.cpp
    DEPS orva_testbed_soak orva_station_core orva_cli_setup orva_platform_store orva_platform_threads
         orva_platform_options SQLite::SQLite3)
  target_compile_definitions(orva-soak PRIVATE ORVA_UNIT_EXEC_ARGS="${unit_args}"
    ORVA_UNIT_RESTART_SEC=${unit_restart} ORVA_UNIT_TIMEOUT_STOP_SEC=${unit_stop})
  # The programs it runs are built with it.
  add_dependencies(orva-soak helmo brek dispo elemix orva-setup orva-satsim)

  # One station day with at least one fault of each kind; fails on a lost file, a torn hole list,
  # a duplicate upload or a missed pass nothing explains.
  if(ORVA_BUILD_TESTS)
    add_test(NAME testbed_soak_one_day
      COMMAND dbus-run-session -- $<TARGET_FILE:orva-soak> --days 1 --seed 11 --clean)
    set_tests_properties(testbed_soak_one_day PROPERTIES LABELS "testbed;slow" TIMEOUT 600 RUN_SERIAL TRUE)
  endif()
endif()
