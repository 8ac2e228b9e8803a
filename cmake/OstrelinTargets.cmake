# Settings shared by every target of the project.

include(${CMAKE_CURRENT_LIST_DIR}/OstrelinVersion.cmake)
set(OSTRELIN_VERSION_RC_IN ${CMAKE_CURRENT_LIST_DIR}/OstrelinVersion.rc.in)

option(OSTRELIN_WERROR "Treat compiler warnings as errors" ON)

# ostrelin_build_flags: the compiler and linker settings that every target
# links (PRIVATE). Tested: mingw-w64 (GCC) cross builds, run under Wine.
# Prepared, never built here: Clang (the GCC set) and MSVC (its own set).
#
# Check points print __FILE__ and __DATE__: keep build-machine paths out of the
# binary (file texts are relative to the source root) and let SOURCE_DATE_EPOCH
# fix the date (GCC reads it), so the build is reproducible.
if(NOT TARGET ostrelin_build_flags)
    add_library(ostrelin_build_flags INTERFACE)
    set(gcc_like "$<CXX_COMPILER_ID:GNU,Clang>")
    set(msvc "$<CXX_COMPILER_ID:MSVC>")
    set(werror "$<BOOL:${OSTRELIN_WERROR}>")
    target_compile_options(ostrelin_build_flags INTERFACE
        "$<${gcc_like}:-Wall;-Wextra;$<${werror}:-Werror>>"
        "$<${gcc_like}:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=;-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>"
        "$<${gcc_like}:-ffunction-sections;-fdata-sections>"
        # The same intent for MSVC: warnings, UTF-8 sources, standard
        # conformance, removable functions and data, no time stamps.
        "$<${msvc}:/W4;$<${werror}:/WX>;/utf-8;/permissive-;/Zc:__cplusplus;/Gy;/Gw;/Brepro>")
    if(WIN32)
        # The platform's own printf family (msvcrt), not mingw's replacement.
        target_compile_definitions(ostrelin_build_flags INTERFACE
            __USE_MINGW_ANSI_STDIO=0 _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
        # A full static link imports nothing but system DLLs; no time stamp,
        # and stripped in Release.
        target_link_options(ostrelin_build_flags INTERFACE
            "$<${gcc_like}:-static;-Wl,--gc-sections;-Wl,--no-insert-timestamp;$<$<CONFIG:Release>:-s>>"
            "$<${msvc}:/OPT:REF;/OPT:ICF;/INCREMENTAL:NO;/Brepro>")
    endif()
    unset(gcc_like)
    unset(msvc)
    unset(werror)
endif()

# A GoogleTest executable run under the emulator (Wine) by CTest, one CTest
# test per test case. Extra arguments after PROPERTIES go to every test.
function(ostrelin_add_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;PROPERTIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ostrelin_build_flags ${ARG_LIBRARIES}
        GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 900 ${ARG_PROPERTIES})
endfunction()

# This project's own tests: a test that registers a task DLL with regsvr32 in
# the build's Wine prefix, as setup of the fixture ostrelin_tasks_registered;
# tests that create tasks by CLSID declare FIXTURES_REQUIRED
# ostrelin_tasks_registered. (A task author registers with regsvr32.)
function(ostrelin_register_task target)
    if(NOT WIN32)
        return()
    endif()
    # Wine's regsvr32 takes the Unix path as it is (Z: drive); without an
    # emulator this runs regsvr32 itself.
    add_test(NAME register_${target}
        COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} regsvr32 /s $<TARGET_FILE:${target}>)
    set_tests_properties(register_${target} PROPERTIES
        FIXTURES_SETUP ostrelin_tasks_registered
        TIMEOUT 300)
endfunction()

# The tree's version (OstrelinVersion.cmake) as a VERSIONINFO resource of one
# shipped program or DLL, with its one-line description.
function(ostrelin_add_version_resource target description)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(OSTRELIN_FILE_TYPE VFT_APP)
        set(suffix .exe)
    else()
        set(OSTRELIN_FILE_TYPE VFT_DLL)
        set(suffix .dll)
    endif()
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    string(REPLACE "." "," OSTRELIN_VERSION_COMMAS "${OSTRELIN_VERSION}.0")
    set(OSTRELIN_FILE_DESCRIPTION "${description}")
    set(OSTRELIN_INTERNAL_NAME ${name})
    set(OSTRELIN_ORIGINAL_FILENAME ${name}${suffix})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
    configure_file(${OSTRELIN_VERSION_RC_IN} ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
