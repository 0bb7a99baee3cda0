# The fuzz build: libFuzzer targets over the argument tail and the whole flow on the stand-in,
# with AddressSanitizer and UndefinedBehaviorSanitizer. Each runs for a bounded time as a test.
set(FUZZ_FLAGS -Wall -Wextra -Werror -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)

add_library(quarn_fuzz_flow STATIC ${FLOW_SOURCES} platform/standin/standin.cpp)
target_include_directories(quarn_fuzz_flow PUBLIC platform platform/standin flow)
target_compile_options(quarn_fuzz_flow PUBLIC ${FUZZ_FLAGS})

set(QUARN_FUZZ_SECONDS 60 CACHE STRING "How long each fuzz target runs as a test")

foreach(target tail flow)
    add_executable(${target}_fuzz tests/fuzz/${target}_fuzz.cpp)
    target_include_directories(${target}_fuzz PRIVATE tests)
    target_link_libraries(${target}_fuzz PRIVATE quarn_fuzz_flow)
    target_link_options(${target}_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
    add_test(NAME fuzz-${target}
        COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzz $<TARGET_FILE:${target}_fuzz>
                ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target} ${CMAKE_BINARY_DIR}/fuzz-${target} ${QUARN_FUZZ_SECONDS})
    set_tests_properties(fuzz-${target} PROPERTIES LABELS fuzz TIMEOUT 600)
endforeach()
