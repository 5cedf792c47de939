# Brek as a program without its window: passes opened and closed in order, the status list and
# boxes, the window messages and the commands of the menus and boxes.

orva_library(NAME orva_engine_session
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/session/session_options.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/pass_config.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/file_header_lookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/brek_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/session_display.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/session_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/session_export.cpp
  DEPS orva_engine_reception orva_engine_upload orva_engine_log orva_engine_link orva_common_pfh orva_common_settings)

orva_test(MODULE engine NAME engine_session_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/brek_session_test.cpp
  DEPS orva_engine_session)

# The session over an in-process simulated satellite and its upload server, on a manual clock.
orva_test(MODULE engine NAME engine_session_pass_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/brek_session_pass_test.cpp
  DEPS orva_engine_session orva_cli_satsim orva_cli_satsim_ftl0)

# Recovery from lost requests, fills and answers against a server that answers every request.
orva_test(MODULE engine NAME engine_request_answers_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/request_answers_test.cpp
  DEPS orva_engine_session orva_cli_satsim orva_cli_satsim_ftl0)
