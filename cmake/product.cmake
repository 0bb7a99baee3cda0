# The Windows build: the uninstaller itself, with our own start-up and no C runtime, for Windows 4.0.
set(PRODUCT_FLAGS -Wall -Wextra -Werror -Os
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-ident -ffunction-sections -fdata-sections)

# i386 decorates a stdcall C name with an underscore and its argument bytes.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ENTRY_SYMBOL _Start@0)
else()
    set(ENTRY_SYMBOL Start)
endif()

enable_language(RC)
add_executable(QuarnUninstall WIN32 ${FLOW_SOURCES} platform/resources.rc)
target_include_directories(QuarnUninstall PRIVATE platform flow)
target_compile_options(QuarnUninstall PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${PRODUCT_FLAGS}>)
set_source_files_properties(platform/resources.rc PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/platform/uninstall.manifest)
target_link_options(QuarnUninstall PRIVATE
    -nostdlib -nostartfiles -s
    -Wl,--entry,${ENTRY_SYMBOL}
    -Wl,--subsystem,windows:4.0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--gc-sections)
target_link_libraries(QuarnUninstall PRIVATE kernel32 user32 advapi32 shell32 ole32)

# The shipped build is the 32-bit one; its check runs in that build's tests.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_test(NAME executable-check
        COMMAND ${CMAKE_SOURCE_DIR}/tests/exe/check-executable $<TARGET_FILE:QuarnUninstall> ${CMAKE_OBJDUMP}
                ${CMAKE_SOURCE_DIR}/tests/exe/allowed-imports 8192)
    set_tests_properties(executable-check PROPERTIES LABELS executable)
endif()

# The end-to-end driver is a 64-bit test tool of ours; it drives both the twin and the shipped build.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_executable(quarn-e2e tests/e2e/driver.cpp)
    target_include_directories(quarn-e2e PRIVATE tests)
    target_compile_options(quarn-e2e PRIVATE -Wall -Wextra -Werror -O2)
    target_link_options(quarn-e2e PRIVATE -static)
    target_link_libraries(quarn-e2e PRIVATE shell32 user32 advapi32)
endif()

# End to end under Wine: every scenario on the twin; the shipped 32-bit build, which may need
# emulation here, on refusals, an accepted tail after blanks and tabs, the missing key and the full
# removal.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUARN_SHIPPED_EXE ${CMAKE_SOURCE_DIR}/build/win32/QuarnUninstall.exe
        CACHE FILEPATH "The shipped 32-bit uninstaller, from the win32 preset")
    set(RUN_LANE ${CMAKE_SOURCE_DIR}/tests/e2e/run-lane)
    add_test(NAME e2e-64
        COMMAND ${RUN_LANE} $<TARGET_FILE:quarn-e2e> $<TARGET_FILE:QuarnUninstall> --shots ${CMAKE_BINARY_DIR}/pictures)
    set_tests_properties(e2e-64 PROPERTIES LABELS "e2e;e2e-64" TIMEOUT 1200 RUN_SERIAL TRUE)
    add_test(NAME e2e-32
        COMMAND ${RUN_LANE} $<TARGET_FILE:quarn-e2e> ${QUARN_SHIPPED_EXE}
                --only refused-empty,refused-trailing-blank,accepted-after-blanks-and-tabs,missing-product-key,full-removal)
    set_tests_properties(e2e-32 PROPERTIES LABELS "e2e;e2e-32" TIMEOUT 3000 RUN_SERIAL TRUE)
endif()
