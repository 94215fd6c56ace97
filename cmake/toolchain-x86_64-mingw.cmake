# Cross build of the Windows tree as 64-bit code: what the tests run on a machine whose
# kernel cannot execute 32-bit x86 code (wine64 runs it there). The deliverables stay 32-bit.
set(HALVORN_MINGW x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
