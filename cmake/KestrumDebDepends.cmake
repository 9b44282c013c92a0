# Run by cpack after staging (CPACK_PRE_BUILD_SCRIPTS): the Depends of the
# Debian package, as dpkg-shlibdeps works them out from the staged programs
# and libraries, ahead of the packages named by hand in KestrumInstall.cmake.
# The private libraries are found through the programs' RPATH ($ORIGIN) and,
# being in the package, need no dependency.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
find_program(KESTRUM_SHLIBDEPS dpkg-shlibdeps)
if(NOT KESTRUM_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found (package dpkg-dev; scripts/setup installs it)")
endif()

set(stage ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB programs LIST_DIRECTORIES false RELATIVE ${stage} ${stage}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*)
file(GLOB_RECURSE libraries LIST_DIRECTORIES false RELATIVE ${stage}
    ${stage}${CPACK_PACKAGING_INSTALL_PREFIX}/lib/*.so)
if(NOT programs)
    message(FATAL_ERROR "KestrumDebDepends.cmake: no programs staged in ${stage}")
endif()

# dpkg-shlibdeps wants a debian/control where it runs, and a DEBIAN folder at
# the root of the package tree to resolve $ORIGIN; neither may be packaged.
file(WRITE ${stage}/debian/control "")
file(MAKE_DIRECTORY ${stage}/DEBIAN)
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C
                        ${KESTRUM_SHLIBDEPS} --ignore-missing-info -O ${programs} ${libraries}
    WORKING_DIRECTORY ${stage}
    OUTPUT_VARIABLE shlibdeps
    ERROR_VARIABLE errors
    RESULT_VARIABLE result
    OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REMOVE_RECURSE ${stage}/debian ${stage}/DEBIAN)
if(NOT result EQUAL 0 OR NOT shlibdeps MATCHES "shlibs:Depends=")
    message(FATAL_ERROR "dpkg-shlibdeps failed (${result}): ${errors}")
endif()
string(REGEX REPLACE "^.*shlibs:Depends=" "" shlibdeps "${shlibdeps}")
if(CPACK_DEBIAN_PACKAGE_DEPENDS)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${shlibdeps}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${shlibdeps}")
endif()
message(STATUS "Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
