# Settings shared by every target of the project.

option(OSTRELIN_WERROR "Treat compiler warnings as errors" ON)

# Check points print __FILE__ and __DATE__: keep build-machine paths out of the
# binary (file texts are relative to the source root) and let SOURCE_DATE_EPOCH
# fix the date, so the build is reproducible.
function(ostrelin_target_defaults target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra
        $<$<BOOL:${OSTRELIN_WERROR}>:-Werror>
        -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
        -ffile-prefix-map=${CMAKE_BINARY_DIR}/=
        -ffunction-sections -fdata-sections)
    if(WIN32)
        # The platform's own printf family (msvcrt), not mingw's replacement.
        target_compile_definitions(${target} PRIVATE
            __USE_MINGW_ANSI_STDIO=0 _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
        # A full static link imports nothing but system DLLs.
        target_link_options(${target} PRIVATE -static -Wl,--gc-sections -Wl,--no-insert-timestamp
            $<$<CONFIG:Release>:-s>)
    endif()
endfunction()

# A GoogleTest executable run under the emulator (Wine) by CTest, one CTest
# test per test case. Extra arguments after PROPERTIES go to every test.
function(ostrelin_add_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;PROPERTIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    ostrelin_target_defaults(${target})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

# Adds every folder below the current one that has a CMakeLists.txt of its
# own, so that a new tool, task or test folder needs no edit elsewhere.
function(ostrelin_add_subfolders)
    file(GLOB folders LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(folder ${folders})
        if(EXISTS ${folder}/CMakeLists.txt)
            add_subdirectory(${folder})
        endif()
    endforeach()
endfunction()
