# cmake -DIN=changelog.in -DOUT=changelog.Debian.gz -DPROJECT_VERSION=.. -DKESTRUM_DEB_VERSION=..
#       -DKESTRUM_MAINTAINER=.. -DGZIP=gzip -P KestrumChangelog.cmake
# The Debian changelog of this build, compressed as Debian keeps it. The date
# is now, or SOURCE_DATE_EPOCH when set (string(TIMESTAMP) reads it).
foreach(variable IN ITEMS IN OUT PROJECT_VERSION KESTRUM_DEB_VERSION KESTRUM_MAINTAINER GZIP)
    if(NOT ${variable})
        message(FATAL_ERROR "KestrumChangelog.cmake: ${variable} not given")
    endif()
endforeach()
string(TIMESTAMP KESTRUM_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(REGEX REPLACE "\\.gz$" "" plain "${OUT}")
configure_file(${IN} ${plain} @ONLY)
execute_process(COMMAND ${GZIP} -9nf ${plain} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "KestrumChangelog.cmake: ${GZIP} ${plain} failed: ${result}")
endif()
