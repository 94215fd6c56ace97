# What both Windows cross builds share: compilers named by HALVORN_MINGW (the target triple),
# a static runtime and SSE arithmetic.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${HALVORN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HALVORN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${HALVORN_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HALVORN_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Without -static the DLLs need the compiler's runtime DLLs (libstdc++, libgcc) beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# SSE2 arithmetic: x87 extended precision would change the last digits of curves and generators.
# Hosts may call us with a 4-byte aligned stack.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -mstackrealign")
