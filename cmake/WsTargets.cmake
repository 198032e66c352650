# Helpers that give every target of ours the same language level and warning set.
# Warnings are errors in our own code only; third-party headers come in as system includes.

set(WS_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wnull-dereference
    -Wunused -Woverloaded-virtual -Wimplicit-fallthrough -Werror)

# GCC 12's optimiser raises -Wrestrict, -Warray-bounds, -Wstringop-overflow/-overread and
# -Wnull-dereference inside inlined standard-library code (std::string concatenation,
# vector::insert, stream buffers): known false positives that say nothing about our code. Debug
# builds, the sanitizer build CI runs among them, keep every warning an error; optimised builds
# with that compiler still show them but do not fail on them.
set(WS_OPTIMISED_GCC12 "$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>,$<NOT:$<CONFIG:Debug>>>")

# With AddressSanitizer's instrumentation, GCC 12's optimiser also reports -Wmaybe-uninitialized
# inside std::function and std::regex. The sanitizer build keeps that warning visible without
# failing on it; every other warning stays an error there.
set(WS_SANITIZED_GCC12 "$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>,$<BOOL:${WS_SANITIZE}>>")

function(ws_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE ${WS_WARNINGS} $<${WS_OPTIMISED_GCC12}:-Wno-error>
                                             $<${WS_SANITIZED_GCC12}:-Wno-error=maybe-uninitialized>)
endfunction()

# ws_library(name SOURCES ... DEPS ...): a module library whose headers are included as
# "module/Header.h" from src/.
function(ws_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    ws_target_defaults(${name})
endfunction()

# ws_test(name SOURCES ... DEPS ... [LABELS ...] [TIMEOUT seconds] [TEST_FILTER filter]): one
# GoogleTest executable registered with CTest, each test as a CTest test of its own (TEST_FILTER:
# only those the GoogleTest filter selects; the caller registers the others). A test with a TIMEOUT of its own is a long one: CTest starts it first, so
# that the others run beside it.
function(ws_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT;TEST_FILTER" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} ws_test_support GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    ws_target_defaults(${name})
    if(ARG_TIMEOUT)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
                             COST 1000000)
    elseif(ARG_TEST_FILTER)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${ARG_TEST_FILTER}"
                             PROPERTIES LABELS "${ARG_LABELS}")
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()

function(ws_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    ws_target_defaults(${name})
endfunction()
