# find_package(OstrelinTaskSdk): the target OstrelinTaskSdk::OstrelinTaskSdk
# (the SDK's headers, the ITask contract and its static library) and the
# function ostrelin_add_task.
include(${CMAKE_CURRENT_LIST_DIR}/OstrelinTaskSdkTargets.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/OstrelinTask.cmake)
