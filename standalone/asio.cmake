# The ASIO back end's sample conversion: pure code, also built natively for the sanitizers.
add_library(halvorn_asio_convert STATIC ${CMAKE_CURRENT_LIST_DIR}/asio_convert.cpp)
target_include_directories(halvorn_asio_convert PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${HALVORN_ROOT}/platform)
