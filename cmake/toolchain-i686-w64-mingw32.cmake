# Cross build for 32-bit Windows (the shipped launcher) with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(OSTRELIN_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
