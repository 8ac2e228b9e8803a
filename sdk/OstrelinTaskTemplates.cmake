# ostrelin_add_task_templates(target): gives target the header TaskTemplates.h,
# the SDK's example (example/) as ostrelin-config new-task writes it for a new
# task, with the task's name and a fresh CLSID in place of MyTask's.
function(ostrelin_add_task_templates target)
    set(example ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/example)
    file(READ ${example}/CMakeLists.txt template_cmake)
    file(READ ${example}/MyTask.cpp template_source)
    if(NOT template_cmake MATCHES "CLSID ({[-0-9A-F]+})")
        message(FATAL_ERROR "${example}/CMakeLists.txt gives ostrelin_add_task no CLSID")
    endif()
    set(template_clsid ${CMAKE_MATCH_1})
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}.templates)
    file(CONFIGURE OUTPUT ${folder}/TaskTemplates.h @ONLY CONTENT [==[
// Made by ostrelin_add_task_templates from the SDK's example: the files of a new task.
#pragma once

const char szTaskTemplateName[] = "MyTask";
const char szTaskTemplateClsid[] = "@template_clsid@";

struct CTaskTemplateFile
{
    const char* pszName;
    const char* pszText;
};

const CTaskTemplateFile taskTemplateFiles[] = {
    {"CMakeLists.txt", R"ostrelin(@template_cmake@)ostrelin"},
    {"MyTask.cpp", R"ostrelin(@template_source@)ostrelin"},
};
]==])
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${example}/CMakeLists.txt ${example}/MyTask.cpp)
    target_include_directories(${target} PRIVATE ${folder})
endfunction()
