# kestrum_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
#
# Builds one GoogleTest program into build/tests and registers each of its cases
# with CTest. Cases run in a scratch folder of their own, since several of them
# write log files into the working directory. Label "concurrency" marks the
# programs that the ThreadSanitizer build runs, "faults" the fault tests.
# Discovered tests take one environment entry only, so the source and program folders reach the tests
# as compile definitions (see testsupport/TestPaths.h).
function(kestrum_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} kestrum_testsupport GTest::gtest GTest::gtest_main)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(workdir ${CMAKE_BINARY_DIR}/testrun/${name})
    file(MAKE_DIRECTORY ${workdir})
    if(NOT T_LABELS)
        set(T_LABELS plain)
    endif()
    # A directory may add labels of its own (KESTRUM_TEST_LABELS), such as
    # "faults" for every test under tests/faults. Discovered tests take one
    # label value only (a list loses its separators on the way), so several
    # are joined into one, "concurrency,faults": ctest -L matches a regular
    # expression anywhere in a label, so -L concurrency and -L faults both
    # select it.
    list(APPEND T_LABELS ${KESTRUM_TEST_LABELS})
    string(JOIN "," T_LABELS ${T_LABELS})
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${workdir}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${T_LABELS} TIMEOUT 300
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
