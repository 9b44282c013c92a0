# The installed layout, and the Debian package built from it (cpack -G DEB,
# see scripts/package):
#   bin/                    kestrum, vms-sim, kestrum-scenario, joyvane-probe, kestrum-dissector
#   lib/kestrum/            libPortelle.so, libJoyvane.so: private to Kestrum; the
#                           programs find them through their RPATH, Portelle finds
#                           the plug-in beside itself
#   share/kestrum/config/   the sample settings and definitions files
#   share/kestrum/wireshark/ the Wireshark dissector for the sample definitions, made
#                           by kestrum-dissector at build time, and how to enable it
#   share/applications/, share/icons/hicolor/   desktop entry and icons
#   share/man/man1/         a manual page for each program, made from its --help
#   share/doc/kestrum/      the READMEs, copyright, changelog.Debian.gz
#   share/lintian/overrides/kestrum   why the package's remaining lintian tags
#                           are right for it
# The build tree has the same shape (build/bin, build/share/kestrum), so a
# program finds its samples from either.
set(KESTRUM_PRIVATE_LIB_DIR lib/kestrum)

add_custom_target(kestrum_samples ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/config ${CMAKE_BINARY_DIR}/share/kestrum/config
    COMMENT "Copying the sample configuration into the build tree")

foreach(program kestrum vms-sim kestrum-scenario joyvane-probe kestrum-dissector)
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

# The dissector for the sample definitions, written from the build tree's
# copy of the samples, so that the file names them as installed
# (config/PageDefinitions.xml under share/kestrum). No user's comms settings
# may change the ports it is made for.
if(TARGET kestrum-dissector)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/share/kestrum)
    set(KESTRUM_WIRESHARK_DIR ${CMAKE_BINARY_DIR}/share/kestrum/wireshark)
    add_custom_command(OUTPUT ${KESTRUM_WIRESHARK_DIR}/kestrum.lua ${KESTRUM_WIRESHARK_DIR}/README.md
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRUM_WIRESHARK_DIR} ${CMAKE_BINARY_DIR}/packaging/no-user-settings
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/wireshark-README.md ${KESTRUM_WIRESHARK_DIR}/README.md
        COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/packaging/no-user-settings ASAN_OPTIONS=detect_leaks=0
                $<TARGET_FILE:kestrum-dissector> --settings config/Kestrum.xml --pages config/PageDefinitions.xml
                -o ${KESTRUM_WIRESHARK_DIR}/kestrum.lua
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/share/kestrum
        DEPENDS kestrum-dissector ${PROJECT_SOURCE_DIR}/config/Kestrum.xml ${PROJECT_SOURCE_DIR}/config/PageDefinitions.xml
                ${PROJECT_SOURCE_DIR}/packaging/wireshark-README.md
        COMMENT "Writing the Wireshark dissector for the sample definitions"
        VERBATIM)
    add_custom_target(kestrum_wireshark ALL DEPENDS ${KESTRUM_WIRESHARK_DIR}/kestrum.lua)
    add_dependencies(kestrum_wireshark kestrum_samples)
    install(FILES ${KESTRUM_WIRESHARK_DIR}/kestrum.lua ${KESTRUM_WIRESHARK_DIR}/README.md DESTINATION share/kestrum/wireshark)
endif()
if(TARGET kestrum_icons)
    install(FILES packaging/kestrum.desktop DESTINATION share/applications)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/share/icons/ DESTINATION share/icons)
endif()
install(FILES README.md DESTINATION share/doc/kestrum)
install(FILES tools/vms-sim/README.md DESTINATION share/doc/kestrum RENAME vms-sim.md)
install(FILES packaging/copyright DESTINATION share/doc/kestrum)
install(FILES packaging/lintian-overrides DESTINATION share/lintian/overrides RENAME kestrum)

set(KESTRUM_PACKAGE_MAINTAINER "Kestrum maintainers <kestrum@halvorn.example>")
set(KESTRUM_PACKAGE_RELEASE 1)
set(KESTRUM_DEB_VERSION ${PROJECT_VERSION}-${KESTRUM_PACKAGE_RELEASE})

# Manual pages, made by help2man from each program's own --help and --version,
# run without a display as a user of the manual would. kestrum answers those
# before Qt starts; a program that needed a display would fail the build here.
set(KESTRUM_MANUAL_NAMES
    "kestrum=operator console for remote video-tracking sensor systems"
    "vms-sim=simulator of the remote video-tracking sensor system, for the Kestrum console"
    "kestrum-scenario=run a system test of a scenario file without a display"
    "joyvane-probe=show what a joystick reports, read as the Kestrum console reads it"
    "kestrum-dissector=write a Wireshark dissector from the Kestrum page definitions, and traffic logs as pcap")
find_program(KESTRUM_HELP2MAN help2man)
find_program(KESTRUM_GZIP gzip)
set(KESTRUM_MANUAL_PAGES)
foreach(entry IN LISTS KESTRUM_MANUAL_NAMES)
    string(REGEX REPLACE "=.*" "" program "${entry}")
    string(REGEX REPLACE "^[^=]*=" "" summary "${entry}")
    if(NOT TARGET ${program})
        continue()
    endif()
    if(NOT KESTRUM_HELP2MAN OR NOT KESTRUM_GZIP)
        message(WARNING "help2man or gzip not found: no manual pages (scripts/setup installs them)")
        break()
    endif()
    # Each page points to the others and to the READMEs.
    set(see_also)
    foreach(other IN ITEMS kestrum vms-sim kestrum-scenario joyvane-probe kestrum-dissector)
        if(NOT other STREQUAL program)
            string(APPEND see_also ".BR ${other} (1),\n")
        endif()
    endforeach()
    set(include_file ${CMAKE_BINARY_DIR}/packaging/${program}.h2m)
    file(CONFIGURE OUTPUT ${include_file} CONTENT "[COPYRIGHT]
Copyright 2026 Halvorn Ltd. All rights reserved.
[SEE ALSO]
${see_also}and the READMEs in
.IR /usr/share/doc/kestrum .
")
    set(page ${CMAKE_BINARY_DIR}/share/man/man1/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/man/man1
        COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                ASAN_OPTIONS=detect_leaks=0
                ${KESTRUM_HELP2MAN} --no-info --name=${summary} --include=${include_file} --output=${page}
                $<TARGET_FILE:${program}>
        COMMAND ${KESTRUM_GZIP} -9nf ${page}
        DEPENDS ${program} ${include_file}
        COMMENT "Writing the manual page ${program}(1)"
        VERBATIM)
    list(APPEND KESTRUM_MANUAL_PAGES ${page}.gz)
endforeach()
if(KESTRUM_MANUAL_PAGES)
    add_custom_target(kestrum_manpages ALL DEPENDS ${KESTRUM_MANUAL_PAGES})
    install(FILES ${KESTRUM_MANUAL_PAGES} DESTINATION share/man/man1)
endif()

# The Debian changelog, stamped with this version and the time of the build
# (SOURCE_DATE_EPOCH when set, for a reproducible package).
set(KESTRUM_CHANGELOG ${CMAKE_BINARY_DIR}/share/doc/kestrum/changelog.Debian.gz)
add_custom_command(OUTPUT ${KESTRUM_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/packaging/changelog.in -DOUT=${KESTRUM_CHANGELOG}
            -DPROJECT_VERSION=${PROJECT_VERSION} -DKESTRUM_DEB_VERSION=${KESTRUM_DEB_VERSION}
            -DKESTRUM_MAINTAINER=${KESTRUM_PACKAGE_MAINTAINER} -DGZIP=${KESTRUM_GZIP}
            -P ${PROJECT_SOURCE_DIR}/cmake/KestrumChangelog.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_SOURCE_DIR}/cmake/KestrumChangelog.cmake
    COMMENT "Writing the Debian changelog"
    VERBATIM)
add_custom_target(kestrum_changelog ALL DEPENDS ${KESTRUM_CHANGELOG})
install(FILES ${KESTRUM_CHANGELOG} DESTINATION share/doc/kestrum)
# The installed-programs test installs this build, so everything installed is
# built before it runs, also when only its target is built.
if(TARGET install_tests)
    foreach(target kestrum vms-sim kestrum-scenario joyvane-probe kestrum-dissector Portelle Joyvane
                   kestrum_samples kestrum_icons kestrum_manpages kestrum_changelog kestrum_wireshark)
        if(TARGET ${target})
            add_dependencies(install_tests ${target})
        endif()
    endforeach()
endif()

set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR "Halvorn Ltd")
set(CPACK_PACKAGE_CONTACT ${KESTRUM_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator console for remote video-tracking sensor systems")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads and changes the remote system's data items, watches the link's heartbeat,\n\
shows the sensor's video, drives the platform from a joystick and runs scripted\n\
system tests. Comes with vms-sim, a simulator of the remote system that also\n\
replays recorded sessions, and kestrum-dissector, which makes a Wireshark\n\
dissector from the page definitions.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KESTRUM_PACKAGE_RELEASE})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Library dependencies as Debian 12 names them, worked out by dpkg-shlibdeps
# on the staged programs and libraries (cmake/KestrumDebDepends.cmake). CPack's
# own run of it stays off: it comes with ldconfig calls in postinst and postrm
# for any library under /usr/lib, which a private folder reached by RPATH does
# not need. Qt's platform plug-ins and GStreamer's elements (the encoder in
# -ugly, the decoder in -libav, the transport stream in -bad, RTP and UDP in
# -good, the app elements in -base) are loaded at run time, so they are named
# here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, \
gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, gstreamer1.0-libav")
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/KestrumDebDepends.cmake)
set(CPACK_STRIP_FILES ON)
include(CPack)
