# The Windows build: the uninstaller itself, with our own start-up and no C runtime, for Windows 4.0.
set(PRODUCT_FLAGS -Wall -Wextra -Werror -Os
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-ident -ffunction-sections -fdata-sections)

# The i386 ABI puts an underscore before C names.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ENTRY_SYMBOL _Start@0)
else()
    set(ENTRY_SYMBOL Start)
endif()

add_executable(QuarnUninstall WIN32 ${FLOW_SOURCES})
target_include_directories(QuarnUninstall PRIVATE platform flow)
target_compile_options(QuarnUninstall PRIVATE ${PRODUCT_FLAGS})
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
