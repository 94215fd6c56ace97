# The sound engine: no Windows dependency; built natively as well.
list(APPEND HALVORN_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/synth_engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/oscillator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lfo_oscillator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/voice_lfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vibrato_lfo.cpp
)
