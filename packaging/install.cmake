# The installed station: programs in bin/ (orva_program installs each one), data under share/orva/
# where the programs look for it relative to their own folder (<bin>/../share/orva), desktop
# entries with icons, a systemd user unit for the unattended station, man pages, and a Debian
# package built by CPack from the same build.
set(ORVA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/orva)

# The user guide, the pictures it shows and any data folder a module adds later.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${ORVA_DATA_DIR}
  FILES_MATCHING PATTERN "*.html" PATTERN "*.md" PATTERN "*.png" PATTERN "*.css" PATTERN "*.jpg")
foreach(data_folder data maps)
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${data_folder})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${data_folder}/ DESTINATION ${ORVA_DATA_DIR}/${data_folder})
  endif()
endforeach()

set(pkg ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
install(FILES ${pkg}/applications/org.orva.Helmo.desktop ${pkg}/applications/org.orva.Tessel.desktop
  ${pkg}/applications/org.orva.Pixora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg}/icons/orva-helmo.svg ${pkg}/icons/orva-tessel.svg ${pkg}/icons/orva-pixora.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The unit names the installed helmo by its absolute path, so it is written at install time with
# the prefix given then (`--prefix`); CPack stages under its own folder for a package that lands in
# /usr, so there the package's prefix is named instead.
install(CODE "
  set(unit_prefix \"\${CMAKE_INSTALL_PREFIX}\")
  if(unit_prefix MATCHES \"/_CPack_Packages/\")
    set(unit_prefix \"${CPACK_PACKAGING_INSTALL_PREFIX}\")
  endif()
  set(HELMO_PATH \"\${unit_prefix}/${CMAKE_INSTALL_BINDIR}/helmo\")
  configure_file(\"${pkg}/systemd/orva-helmo.service.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/orva-helmo.service\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/orva-helmo.service\")
")

# One page per installed program (a test checks that each names every option of its --help).
file(GLOB man_pages ${pkg}/man/*.1)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack packs the build as it is (CI has built it); it does not start a whole build of its own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orva)
set(CPACK_PACKAGE_VENDOR "Orva")
set(CPACK_PACKAGE_CONTACT "Orva developers <orva@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Amateur-radio PACSAT ground station: tracking, downloads, uploads, images")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6core6 | libqt6core6t64, libqt6gui6 | libqt6gui6t64, libqt6widgets6 | libqt6widgets6t64, libqt6dbus6 | libqt6dbus6t64, libqt6printsupport6 | libqt6printsupport6t64, libsqlite3-0, libhamlib4 | libhamlib4t64, libhamlib-utils, libarchive13 | libarchive13t64, libcurl4 | libcurl4t64, ca-certificates, libcpp-httplib0.11, libssl3 | libssl3t64, unzip, lhasa, nomarch, dbus")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "direwolf")
# Also record what the programs really link, as dpkg-shlibdeps finds it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The package carries stripped programs; their debug information goes to a separate debug-symbols
# package (orva-dbgsym, a .ddeb) for whoever needs a backtrace. The optimised build CI tests is the
# one packed, so the package is what was tested.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
include(CPack)
