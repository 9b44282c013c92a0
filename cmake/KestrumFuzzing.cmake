include_guard(GLOBAL)

# kestrum_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> SEEDS <globs...> RUNS <n> MAX_LEN <n>
#                    [INCLUDES <dirs...>] [DICT <file>])
#
# One libFuzzer program (clang only) into build/tests, and a CTest test (label
# "fuzz") that runs it for RUNS inputs in a corpus of its own, seeded from SEEDS
# and from the minimised corpus of the long runs kept beside its source,
# corpus-<name without _fuzzer>/ (see the README's "Fuzzing").
function(kestrum_add_fuzzer name)
    cmake_parse_arguments(F "" "RUNS;MAX_LEN;DICT" "SOURCES;LIBS;INCLUDES;SEEDS" ${ARGN})
    string(REGEX REPLACE "_fuzzer$" "" short ${name})
    set(kept ${CMAKE_CURRENT_SOURCE_DIR}/corpus-${short})
    if(EXISTS ${kept})
        list(APPEND F_SEEDS "${kept}/*")
    endif()
    string(JOIN " " seeds ${F_SEEDS})
    # Complaints about spoilt input would only slow a run down and fill its log.
    add_executable(${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/testsupport/fuzz/QuietFuzzerSetUp.cpp)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_include_directories(${name} PRIVATE ${F_INCLUDES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(work ${CMAKE_BINARY_DIR}/testrun/${name})
    file(MAKE_DIRECTORY ${work}/corpus)
    set(dict "")
    if(F_DICT)
        set(dict "-dict=${F_DICT}")
    endif()
    add_test(NAME ${name}.BoundedRun
        COMMAND sh -c "cp -n ${seeds} corpus/ && $<TARGET_FILE:${name}> -runs=${F_RUNS} -max_len=${F_MAX_LEN} ${dict} corpus"
        WORKING_DIRECTORY ${work})
    set_tests_properties(${name}.BoundedRun PROPERTIES LABELS fuzz TIMEOUT 900)
endfunction()

# kestrum_add_xml_fuzzer(<name> <source> <libs...>)
#
# A fuzzer of one of the XML file readers: the input becomes the file it reads
# (testsupport/fuzz), seeded with the sample files of config/.
set(KESTRUM_XML_FUZZ_RUNS 200000 CACHE STRING "Inputs per bounded run of each XML reader fuzzer")
function(kestrum_add_xml_fuzzer name source)
    set(support ${PROJECT_SOURCE_DIR}/testsupport/fuzz)
    kestrum_add_fuzzer(${name} SOURCES ${source} LIBS ${ARGN}
        INCLUDES ${support} SEEDS "${PROJECT_SOURCE_DIR}/config/*.xml"
        RUNS ${KESTRUM_XML_FUZZ_RUNS} MAX_LEN 8192 DICT ${support}/xml.dict)
endfunction()
