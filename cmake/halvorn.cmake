# Each test program's time limit: the lane that runs the 32-bit build in an emulated machine,
# many times slower, doubles it.
set(HALVORN_TEST_TIMEOUT 600 CACHE STRING "Time limit of each test program, in seconds")

# halvorn_test(NAME SOURCES ... LIBS ... [WINDOWS_ONLY])
# One GoogleTest program, run by ctest (under wine in the cross build).
function(halvorn_test NAME)
  cmake_parse_arguments(T "WINDOWS_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${NAME} ${T_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  target_include_directories(${NAME} PRIVATE ${HALVORN_ROOT}/tests)
  add_test(NAME ${NAME} COMMAND ${NAME})
  set_tests_properties(${NAME} PROPERTIES TIMEOUT ${HALVORN_TEST_TIMEOUT})
endfunction()

# halvorn_host_tool(TARGET PROGRAM SOURCE_DIR): a generator that runs on the build machine
# during a cross build, built on its own with the host's compiler; sets TARGET_PROGRAM to
# the program's path.
function(halvorn_host_tool TARGET PROGRAM SOURCE_DIR)
  include(ExternalProject)
  set(BINARY_DIR ${CMAKE_BINARY_DIR}/${TARGET})
  ExternalProject_Add(${TARGET}
    SOURCE_DIR ${SOURCE_DIR}
    BINARY_DIR ${BINARY_DIR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${BINARY_DIR}/${PROGRAM})
  set(${TARGET}_PROGRAM ${BINARY_DIR}/${PROGRAM} PARENT_SCOPE)
endfunction()
