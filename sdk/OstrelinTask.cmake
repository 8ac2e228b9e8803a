# Building a task DLL with the SDK, in this tree or against the installed
# package (find_package(OstrelinTaskSdk)).
#
#   ostrelin_add_task(MyTask SOURCES MyTask.cpp [LIBRARIES ...] [UNLOADABLE])
#       builds MyTask.dll with the SDK's COM exports and the C++ runtime linked
#       in, so that it needs no DLL beside it but the system's. Built with
#       mingw-w64, the DLL stays loaded once loaded, because its static runtime
#       leaks on every unload; UNLOADABLE lets COM unload it all the same.
#
# Register the DLL with regsvr32 (ostrelin_register_task in cmake/ is this
# project's fixture for its own tests).

function(ostrelin_add_task target)
    cmake_parse_arguments(ARG "UNLOADABLE" "" "SOURCES;LIBRARIES" ${ARGN})
    # Compiled into each DLL, so that each chooses its unload policy.
    add_library(${target} SHARED ${ARG_SOURCES}
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/TaskUnloadPolicy.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/OstrelinTask.def)
    if(ARG_UNLOADABLE)
        target_compile_definitions(${target} PRIVATE OSTRELIN_TASK_UNLOADABLE)
    endif()
    target_link_libraries(${target} PRIVATE OstrelinTaskSdk::OstrelinTaskSdk ${ARG_LIBRARIES})
    # This project's own warnings and settings; a task author's build has its own.
    if(TARGET ostrelin_build_flags)
        target_link_libraries(${target} PRIVATE ostrelin_build_flags)
    endif()
    if(MINGW)
        # The .def names the stdcall exports undecorated; link them quietly.
        target_link_options(${target} PRIVATE -static -Wl,--enable-stdcall-fixup)
    endif()
    # MyTask.dll, not libMyTask.dll; MSVC: the static runtime.
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
endfunction()
