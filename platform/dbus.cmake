# Window messages and data exchange on the session D-Bus (QtDBus); the logic sees only
# platform/messenger.h and platform/data_exchange.h.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_platform_dbus
    SOURCES dbus/bus_names.cpp dbus/dbus_messenger.cpp dbus/dbus_data.cpp
    DEPS orva_result Qt6::Core Qt6::DBus
    QT)

  if(ORVA_BUILD_TESTS)
    # The other process of the bus tests.
    add_executable(platform_dbus_peer tests/dbus_peer.cpp)
    target_compile_options(platform_dbus_peer PRIVATE ${ORVA_WARNINGS})
    target_link_libraries(platform_dbus_peer PRIVATE orva_platform_dbus)
    set_target_properties(platform_dbus_peer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  endif()
  orva_test(MODULE platform NAME platform_dbus_test
    SOURCES tests/dbus_test.cpp
    DEPS orva_platform_dbus orva_platform_launcher
    QT SERIAL)
  if(TARGET platform_dbus_test)
    orva_test_needs(platform_dbus_test platform_dbus_peer)
    target_compile_definitions(platform_dbus_test PRIVATE ORVA_DBUS_PEER="$<TARGET_FILE:platform_dbus_peer>")
  endif()
endif()
