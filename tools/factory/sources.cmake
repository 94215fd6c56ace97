# The generator of the factory files, and the plug-in's own code that it writes them with.
set(HALVORN_FACTORY_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/factory_content.cpp
  ${CMAKE_CURRENT_LIST_DIR}/factory_writer.cpp
)
get_filename_component(FACTORY_PLUGIN_DIR ${CMAKE_CURRENT_LIST_DIR}/../../plugin ABSOLUTE)
set(HALVORN_FACTORY_PLUGIN_SOURCES
  ${FACTORY_PLUGIN_DIR}/core/builtin_sounds.cpp
  ${FACTORY_PLUGIN_DIR}/core/control_file.cpp
  ${FACTORY_PLUGIN_DIR}/core/midi_map.cpp
  ${FACTORY_PLUGIN_DIR}/core/number_text.cpp
  ${FACTORY_PLUGIN_DIR}/core/parameter_table.cpp
  ${FACTORY_PLUGIN_DIR}/core/preset_keys.cpp
  ${FACTORY_PLUGIN_DIR}/core/program_record.cpp
  ${FACTORY_PLUGIN_DIR}/core/value_curves.cpp
  ${FACTORY_PLUGIN_DIR}/presets/install_settings.cpp
  ${FACTORY_PLUGIN_DIR}/presets/stdio_file_io.cpp
  ${FACTORY_PLUGIN_DIR}/presets/native_file_io.cpp
  ${FACTORY_PLUGIN_DIR}/presets/chunk_codec.cpp
  ${FACTORY_PLUGIN_DIR}/presets/tree_files.cpp
  ${FACTORY_PLUGIN_DIR}/presets/bank.cpp
  ${FACTORY_PLUGIN_DIR}/presets/preset_tree.cpp
)
