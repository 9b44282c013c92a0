# The installed layout, and the Debian package built from it (cpack -G DEB,
# see scripts/package):
#   bin/                    kestrum, vms-sim, kestrum-scenario, joyvane-probe
#   lib/kestrum/            libPortelle.so, libJoyvane.so: private to Kestrum; the
#                           programs find them through their RPATH, Portelle finds
#                           the plug-in beside itself
#   share/kestrum/config/   the sample settings and definitions files
#   share/applications/, share/icons/hicolor/   desktop entry and icons
#   share/doc/kestrum/      the READMEs
# The build tree has the same shape (build/bin, build/share/kestrum), so a
# program finds its samples from either.
set(KESTRUM_PRIVATE_LIB_DIR lib/kestrum)

add_custom_target(kestrum_samples ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/config ${CMAKE_BINARY_DIR}/share/kestrum/config
    COMMENT "Copying the sample configuration into the build tree")

foreach(program kestrum vms-sim kestrum-scenario joyvane-probe)
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${KESTRUM_PRIVATE_LIB_DIR}")
        install(TARGETS ${program} RUNTIME DESTINATION bin)
    endif()
endforeach()
foreach(library Portelle Joyvane)
    if(TARGET ${library})
        set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
        install(TARGETS ${library} LIBRARY DESTINATION ${KESTRUM_PRIVATE_LIB_DIR})
    endif()
endforeach()

install(DIRECTORY config/ DESTINATION share/kestrum/config FILES_MATCHING PATTERN "*.xml")
if(TARGET kestrum_icons)
    install(FILES packaging/kestrum.desktop DESTINATION share/applications)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/share/icons/ DESTINATION share/icons)
endif()
install(FILES README.md DESTINATION share/doc/kestrum)
install(FILES tools/vms-sim/README.md DESTINATION share/doc/kestrum RENAME vms-sim.md)

set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR "Halvorn Ltd")
set(CPACK_PACKAGE_CONTACT "Kestrum maintainers <kestrum@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator console for remote video-tracking sensor systems")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads and changes the remote system's data items, watches the link's heartbeat,\n\
drives the platform from a joystick and runs scripted system tests. Comes with\n\
vms-sim, a simulator of the remote system that also replays recorded sessions.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Library dependencies as Debian 12 names them, worked out by dpkg-shlibdeps;
# Qt's platform plug-ins are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
