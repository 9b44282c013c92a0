# kestrum_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [PCH_FROM <target>]
#                  [ENVIRONMENT <NAME=value>])
#
# Builds one GoogleTest program into build/tests and registers each of its cases
# with CTest. Cases run in a scratch folder of their own, since several of them
# write log files into the working directory. Label "concurrency" marks the
# programs that the ThreadSanitizer build runs, "faults" the fault tests.
# Discovered tests take one environment entry only, so the source and program folders reach the tests
# as compile definitions (see testsupport/TestPaths.h); ENVIRONMENT replaces the default entry
# (QT_QPA_PLATFORM=offscreen) for a program that needs another one more.
#
# Test code is compiled for compile speed (kestrum_test_code); what it tests
# keeps the flags of its own library. The target "kestrum_tests" builds every
# registered test program with what it runs: the ThreadSanitizer build builds
# that alone, since it runs only the "concurrency" tests and a program it
# does not run is left out of it.
include_guard(GLOBAL)

add_custom_target(kestrum_tests)

# kestrum_test_code(<target> [<target whose precompiled headers to reuse>])
#
# Test sources need no optimisation, and line tables are all a failure report
# uses; most of their compile time is the test framework's headers, which are
# precompiled once (testsupport/TestPch.h; the widget tests have their own)
# and shared by every test program.
function(kestrum_test_code target)
    set(from kestrum_testsupport)
    if(ARGC GREATER 1)
        set(from ${ARGV1})
    endif()
    target_compile_options(${target} PRIVATE ${KESTRUM_TEST_CODE_FLAGS})
    # The framework's definitions and the test folders' are part of the
    # precompiled header's: a user that lacked one could not use it.
    target_link_libraries(${target} PRIVATE GTest::gtest)
    if(NOT target STREQUAL "kestrum_testsupport")
        target_link_libraries(${target} PRIVATE kestrum_testsupport)
    endif()
    # The precompiled header brings <utility> itself, and must come first.
    set_target_properties(${target} PROPERTIES KESTRUM_HAS_PCH ON)
    if(TARGET ${from} AND NOT target STREQUAL from)
        target_precompile_headers(${target} REUSE_FROM ${from})
    endif()
endfunction()
# -fPIC for programs too: a precompiled header is only used with the
# position-independence it was made with, and the shared ones are made for
# libraries. -pthread likewise: a test that compiles against GStreamer gets
# it from pkg-config, and clang refuses a header precompiled without it.
set(KESTRUM_TEST_CODE_FLAGS -O0 -g1 -fPIC -pthread)

function(kestrum_add_test name)
    cmake_parse_arguments(T "" "PCH_FROM;ENVIRONMENT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_ENVIRONMENT)
        set(T_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
    if(NOT T_LABELS)
        set(T_LABELS plain)
    endif()
    # A directory may add labels of its own (KESTRUM_TEST_LABELS), such as
    # "faults" for every test under tests/faults.
    list(APPEND T_LABELS ${KESTRUM_TEST_LABELS})
    set(run ON)
    if(KESTRUM_SANITIZE STREQUAL "thread" AND NOT "concurrency" IN_LIST T_LABELS)
        set(run OFF)
    endif()

    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} kestrum_testsupport GTest::gtest GTest::gtest_main)
    kestrum_test_code(${name} ${T_PCH_FROM})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT run)
        # Declared (others may name it), but neither built nor run here.
        set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
        return()
    endif()
    add_dependencies(kestrum_tests ${name})

    set(workdir ${CMAKE_BINARY_DIR}/testrun/${name})
    file(MAKE_DIRECTORY ${workdir})
    # Discovered tests take one label value only (a list loses its separators
    # on the way), so several are joined into one, "concurrency,faults":
    # ctest -L matches a regular expression anywhere in a label, so
    # -L concurrency and -L faults both select it.
    string(JOIN "," T_LABELS ${T_LABELS})
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${workdir}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${T_LABELS} TIMEOUT 300
                   ENVIRONMENT "${T_ENVIRONMENT}")
endfunction()
