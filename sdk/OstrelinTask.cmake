# Building and registering task DLLs.
#
#   ostrelin_add_task(MyTask SOURCES MyTask.cpp [LIBRARIES ...] [UNLOADABLE])
#       builds MyTask.dll in <build>/bin with the SDK's exports. Built with
#       mingw-w64, the DLL stays loaded once loaded, because its static runtime
#       leaks on every unload; UNLOADABLE lets COM unload it all the same.
#   ostrelin_register_task(MyTask)
#       adds a test that registers it with regsvr32 in the build's Wine prefix,
#       as setup of the fixture ostrelin_tasks_registered; tests that create
#       tasks by CLSID declare FIXTURES_REQUIRED ostrelin_tasks_registered.

set(OSTRELIN_SDK_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "The task SDK's folder")

function(ostrelin_add_task target)
    cmake_parse_arguments(ARG "UNLOADABLE" "" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${target} SHARED ${ARG_SOURCES} ${OSTRELIN_SDK_DIR}/TaskUnloadPolicy.cpp
        ${OSTRELIN_SDK_DIR}/OstrelinTask.def)
    if(ARG_UNLOADABLE)
        target_compile_definitions(${target} PRIVATE OSTRELIN_TASK_UNLOADABLE)
    endif()
    target_link_libraries(${target} PRIVATE ostrelin_task_sdk ostrelin_build_flags ${ARG_LIBRARIES})
    if(MINGW)
        # The .def names the stdcall exports undecorated; link them quietly.
        target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
    # MyTask.dll, not libMyTask.dll.
    set_target_properties(${target} PROPERTIES PREFIX "")
endfunction()

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
