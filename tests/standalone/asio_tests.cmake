# The ASIO back end: its sample conversion everywhere; the back end under wine against the
# test driver, registered in each test program's own prefix.
halvorn_test(standalone_asio_convert
  SOURCES test_asio_convert.cpp
  LIBS halvorn_asio_convert)

if(NOT WIN32)
  return()
endif()

add_subdirectory(fake_asio)

halvorn_test(standalone_asio WINDOWS_ONLY
  SOURCES test_asio_drivers.cpp test_asio_play.cpp test_asio_threads.cpp
  LIBS standalone_engine test_host)
target_include_directories(standalone_asio PRIVATE ${HALVORN_ROOT}/platform)
add_dependencies(standalone_asio fake_asio halvorn_plugin10 halvorn_factory)
# Its driver thread runs flat out for seconds: alone, so that it neither slows nor is slowed
# by tests that measure time.
set_tests_properties(standalone_asio PROPERTIES RUN_SERIAL TRUE)
