# Cross build for 64-bit Windows (the second tested architecture) with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(OSTRELIN_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
