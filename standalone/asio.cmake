# The ASIO back end. Its sample conversion is pure code, also built natively for the sanitizers.
add_library(halvorn_asio_convert STATIC ${CMAKE_CURRENT_LIST_DIR}/asio_convert.cpp)
target_include_directories(halvorn_asio_convert PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${HALVORN_ROOT}/platform)

if(WIN32)
  add_library(halvorn_asio_backend STATIC ${CMAKE_CURRENT_LIST_DIR}/asio_manager.cpp)
  target_link_libraries(halvorn_asio_backend PUBLIC standalone_audio halvorn_asio_convert asio_host mfc)
  # The driver calls the buffer switch with whatever stack alignment its thread has.
  target_compile_options(halvorn_asio_backend PRIVATE -mstackrealign)
  target_link_libraries(standalone_engine PUBLIC halvorn_asio_backend)
endif()
