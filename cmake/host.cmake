# The host build: the flow against the in-memory stand-in, the unit tests, under the sanitizers.
find_package(GTest REQUIRED)

set(HOST_FLAGS -Wall -Wextra -Werror -g -fno-omit-frame-pointer
    -fsanitize=address,undefined -fno-sanitize-recover=all)

add_library(quarn_flow STATIC ${FLOW_SOURCES} platform/standin/standin.cpp)
target_include_directories(quarn_flow PUBLIC platform platform/standin flow)
target_compile_options(quarn_flow PUBLIC ${HOST_FLAGS})
target_link_options(quarn_flow PUBLIC -fsanitize=address,undefined)

add_executable(host_tests
    tests/host/flow_fixture.cpp
    tests/host/command_line_test.cpp
    tests/host/dialogue_test.cpp
    tests/host/installed_items_test.cpp
    tests/host/shortcuts_test.cpp
    tests/host/dll_search_test.cpp
    tests/host/fault_injection_test.cpp)
target_include_directories(host_tests PRIVATE tests)
target_link_libraries(host_tests PRIVATE quarn_flow GTest::gtest_main)

include(GoogleTest)
gtest_discover_tests(host_tests PROPERTIES LABELS host)

add_test(NAME lint COMMAND ${CMAKE_SOURCE_DIR}/scripts/lint ${CMAKE_BINARY_DIR})
set_tests_properties(lint PROPERTIES LABELS lint)
