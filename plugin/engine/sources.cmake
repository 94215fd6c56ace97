# The sound engine: no Windows dependency; built natively as well.
list(APPEND HALVORN_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/synth_engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_voices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_routing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/oscillator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_buffers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/envelope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mixer_bank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vca.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mod_amount_bank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lfo_oscillator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/voice_lfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vibrato_lfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pedal_processor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ring_modulator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/delay_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chorus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/delay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/arpeggiator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_arpeggiator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/step_tables.cpp
)
