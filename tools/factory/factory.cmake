# The files an installation brings ("save" with the factory bank and the MIDI control
# file), written at build time by the generator in tools/factory into HALVORN_FACTORY_DIR;
# tests, benchmarks and the run script copy them from there.
include(${HALVORN_ROOT}/tools/factory/sources.cmake)
if(WIN32)
  set(HALVORN_FACTORY_DIR ${CMAKE_BINARY_DIR}/bin/factory)
else()
  set(HALVORN_FACTORY_DIR ${CMAKE_BINARY_DIR}/factory)
endif()

# The generator's own code, for the tests that check what it writes.
add_library(halvorn_factory_content STATIC ${HALVORN_FACTORY_SOURCES})
target_include_directories(halvorn_factory_content PUBLIC ${HALVORN_ROOT}/tools)
target_link_libraries(halvorn_factory_content PUBLIC halvorn_pure10)

if(CMAKE_CROSSCOMPILING)
  # The generator runs on the build machine: a nested build with the host's compiler.
  halvorn_host_tool(halvorn_factory_tool halvorn-factory ${HALVORN_ROOT}/tools/factory)
  set(FACTORY_TOOL ${halvorn_factory_tool_PROGRAM})
  set(FACTORY_TOOL_TARGET halvorn_factory_tool)
else()
  add_executable(halvorn-factory ${HALVORN_ROOT}/tools/factory/main.cpp)
  target_link_libraries(halvorn-factory PRIVATE halvorn_factory_content)
  set(FACTORY_TOOL $<TARGET_FILE:halvorn-factory>)
  set(FACTORY_TOOL_TARGET halvorn-factory)
endif()

set(FACTORY_STAMP ${CMAKE_BINARY_DIR}/factory.stamp)
add_custom_command(OUTPUT ${FACTORY_STAMP}
  COMMAND ${CMAKE_COMMAND} -E remove_directory ${HALVORN_FACTORY_DIR}
  COMMAND ${FACTORY_TOOL} ${HALVORN_FACTORY_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${FACTORY_STAMP}
  DEPENDS ${FACTORY_TOOL_TARGET} ${FACTORY_TOOL} ${HALVORN_FACTORY_SOURCES} ${HALVORN_FACTORY_PLUGIN_SOURCES}
  COMMENT "Writing the factory files")
add_custom_target(halvorn_factory ALL DEPENDS ${FACTORY_STAMP})
