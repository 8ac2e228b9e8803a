# Building a task DLL with the SDK, in this tree or against the installed
# package (find_package(OstrelinTaskSdk)).
#
#   ostrelin_add_task(MyTask [CLSID {...}] SOURCES MyTask.cpp [LIBRARIES ...] [UNLOADABLE])
#       builds MyTask.dll with the SDK's COM exports and the C++ runtime linked
#       in, so that it needs no DLL beside it but the system's. Built with
#       mingw-w64, the DLL stays loaded once loaded, because its static runtime
#       leaks on every unload; UNLOADABLE lets COM unload it all the same.
#       CLSID, the one place where the task's CLSID is written: the build
#       makes of it the header TaskClsid.h (OSTRELIN_TASK_NAME, the target's
#       name, and CLSID_Task) and MyTask.Config.xml, a configuration that lists
#       the task, beside the DLL's build files.
#
#   ostrelin_add_task_manifest(MyTasks TASKS MyTask [OtherTask...] [DESTINATION bin] [COMPONENT c])
#       writes Tasks.manifest into the build folder MyTasks/: the
#       installation's task manifest, one file element per task DLL with the
#       comClass of the CLSID its ostrelin_add_task was given. DESTINATION
#       installs it there, beside the tasks and the configuration: the launcher
#       then creates those classes from those files, with nothing registered.
#
# Records name the task's sources relative to the task's folder, not by the
# author's absolute path. Without a manifest, register the DLL with regsvr32
# (ostrelin_register_task in cmake/ is this project's fixture for its own tests).

function(ostrelin_add_task target)
    cmake_parse_arguments(ARG "UNLOADABLE" "CLSID" "SOURCES;LIBRARIES" ${ARGN})
    # Compiled into each DLL, so that each chooses its unload policy.
    add_library(${target} SHARED ${ARG_SOURCES}
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/TaskUnloadPolicy.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/OstrelinTask.def)
    if(ARG_UNLOADABLE)
        target_compile_definitions(${target} PRIVATE OSTRELIN_TASK_UNLOADABLE)
    endif()
    if(DEFINED ARG_CLSID)
        ostrelin_write_task_class(${target} "${ARG_CLSID}")
    endif()
    target_link_libraries(${target} PRIVATE OstrelinTaskSdk::OstrelinTaskSdk ${ARG_LIBRARIES})
    if(TARGET ostrelin_build_flags)
        # This project's own warnings and settings, paths relative to its root
        # included; a task author's build has its own.
        target_link_libraries(${target} PRIVATE ostrelin_build_flags)
    elseif(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE
            "-ffile-prefix-map=${CMAKE_CURRENT_SOURCE_DIR}/=")
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

# TaskClsid.h and <target>.Config.xml from the CLSID given to ostrelin_add_task.
function(ostrelin_write_task_class target clsid)
    set(hex "[0-9A-Fa-f]")
    string(REPEAT "${hex}" 4 hex4)
    if(NOT clsid MATCHES "^{${hex4}${hex4}-${hex4}-${hex4}-${hex4}-${hex4}${hex4}${hex4}}$")
        message(FATAL_ERROR "ostrelin_add_task(${target}): CLSID \"${clsid}\" is not of the form "
            "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (hexadecimal digits); "
            "ostrelin-config new-task writes a fresh one")
    endif()
    string(TOUPPER "${clsid}" clsid)
    string(TOLOWER "${clsid}" lower)
    string(SUBSTRING "${lower}" 1 8 data1)
    string(SUBSTRING "${lower}" 10 4 data2)
    string(SUBSTRING "${lower}" 15 4 data3)
    set(data4 "")
    foreach(i 20 22 25 27 29 31 33 35)
        string(SUBSTRING "${lower}" ${i} 2 byte)
        list(APPEND data4 "0x${byte}")
    endforeach()
    list(JOIN data4 ", " data4)
    set_property(TARGET ${target} PROPERTY OSTRELIN_TASK_CLSID "${clsid}")
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}.task)
    # file(CONFIGURE) writes only what changed, so an unchanged CLSID rebuilds nothing.
    file(CONFIGURE OUTPUT ${folder}/TaskClsid.h @ONLY CONTENT
"// Made by ostrelin_add_task from the CLSID that CMakeLists.txt gives ${target}:
// change it there.
#pragma once

#include <guiddef.h>

#define OSTRELIN_TASK_NAME \"${target}\"
// ${clsid}
const CLSID CLSID_Task = {0x${data1}, 0x${data2}, 0x${data3}, {${data4}}};
")
    file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.Config.xml @ONLY CONTENT
"<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<Config>
  <Run>
    <${target} CLSID=\"${clsid}\"/>
  </Run>
</Config>
")
    target_include_directories(${target} PRIVATE ${folder})
endfunction()

# Tasks.manifest of the tasks named, from the CLSIDs their ostrelin_add_task holds.
function(ostrelin_add_task_manifest name)
    cmake_parse_arguments(ARG "" "DESTINATION;COMPONENT" "TASKS" ${ARGN})
    if(NOT ARG_TASKS)
        message(FATAL_ERROR "ostrelin_add_task_manifest(${name}): no TASKS named")
    endif()
    set(files "")
    foreach(task IN LISTS ARG_TASKS)
        if(NOT TARGET ${task})
            message(FATAL_ERROR "ostrelin_add_task_manifest(${name}): ${task} is no target; "
                "call it after the tasks' ostrelin_add_task")
        endif()
        get_target_property(clsid ${task} OSTRELIN_TASK_CLSID)
        if(NOT clsid)
            message(FATAL_ERROR "ostrelin_add_task_manifest(${name}): ${task} has no CLSID; "
                "give it one in ostrelin_add_task(${task} CLSID {...} ...)")
        endif()
        string(APPEND files "  <file name=\"$<TARGET_FILE_NAME:${task}>\">"
            "<comClass clsid=\"${clsid}\" threadingModel=\"Apartment\"/></file>\n")
    endforeach()
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${name}/Tasks.manifest)
    # Apartment, as the SDK's self-registration writes ThreadingModel.
    file(GENERATE OUTPUT ${manifest} CONTENT
"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>
<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">
  <assemblyIdentity type=\"win32\" name=\"Ostrelin.Tasks\" version=\"1.0.0.0\"/>
${files}</assembly>
")
    if(ARG_DESTINATION)
        if(ARG_COMPONENT)
            set(component COMPONENT ${ARG_COMPONENT})
        endif()
        install(FILES ${manifest} DESTINATION ${ARG_DESTINATION} ${component})
    endif()
endfunction()
