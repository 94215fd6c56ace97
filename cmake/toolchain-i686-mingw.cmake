# Cross build of the 32-bit Windows binaries with mingw-w64 (posix threads).
set(HALVORN_MINGW i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
