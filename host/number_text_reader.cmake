# The number reader: under everything else in the plug-in, linked into it with its code.
target_sources(orlex_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/number_text_reader.cpp)
