# The sound engine: no Windows dependency; built natively as well.
list(APPEND HALVORN_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/synth_engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/oscillator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/step_tables.cpp
)
