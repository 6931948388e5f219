# The plug-in: its code as an object library (unit tests link it directly) and the shared
# library the host loads.

add_library(orlex_core OBJECT
  host/cvars.cpp
  host/engine.cpp
  host/entity_search.cpp
  host/sdk_util.cpp
  text/number_text.cpp
  text/number_text_reader.cpp
  text/record.cpp
  net/address_list.cpp
  net/admission.cpp
  net/cstrings.cpp
  net/minute_counts.cpp
  net/socket_error_text.cpp
  net/tcp_server.cpp
  net/udp_server.cpp
  state/game.cpp
  state/map_world.cpp
  state/players.cpp
  state/teams.cpp
  events/chat.cpp
  events/game_hooks.cpp
  events/message_hooks.cpp
  events/udplogs.cpp
  reports/objective_reports.cpp
  reports/player_report.cpp
  reports/server_report.cpp
  plugin/access_settings.cpp
  plugin/client_requests.cpp
  plugin/dllapi.cpp
  plugin/engine_api.cpp
  plugin/h_export.cpp
  plugin/listener_start.cpp
  plugin/map_change.cpp
  plugin/meta_api.cpp
  plugin/report_schedule.cpp
)
# No exceptions, no RTTI, no guarded statics: nothing that needs the C++ runtime on the server.
set(ORLEX_PLUGIN_FLAGS
  -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -fvisibility=hidden -fvisibility-inlines-hidden
  -ffunction-sections -fdata-sections)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Hosts built long ago call in with a 4-byte-aligned stack; SSE math keeps floats as in 64-bit builds.
  list(APPEND ORLEX_PLUGIN_FLAGS -mincoming-stack-boundary=2 -march=i686 -msse2 -mfpmath=sse)
endif()
target_include_directories(orlex_core PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(orlex_core PRIVATE ${ORLEX_PLUGIN_FLAGS})
set_target_properties(orlex_core PROPERTIES POSITION_INDEPENDENT_CODE ON)

if(ORLEX_PLUGIN_LIBRARY)
  add_library(orlex_mm SHARED $<TARGET_OBJECTS:orlex_core>)
  target_include_directories(orlex_mm PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(orlex_mm PRIVATE ${ORLEX_PLUGIN_FLAGS})
  # Hosts name plug-ins without the "lib" prefix. Linking as C keeps libstdc++ out entirely: any use
  # of it would fail the link instead of becoming a run-time dependency.
  set_target_properties(orlex_mm PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  if(WIN32)
    # Exactly the six entry points, GiveFnptrsToDll undecorated though stdcall; the C runtime's
    # formatting is the standard one, so numbers read the same as on Linux.
    # 32-bit stdcall names carry the size of their arguments; 64-bit names carry nothing.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(ORLEX_GIVEFNPTRS_SYMBOL "GiveFnptrsToDll@8")
    else()
      set(ORLEX_GIVEFNPTRS_SYMBOL "GiveFnptrsToDll")
    endif()
    configure_file(plugin/exports.def.in ${CMAKE_CURRENT_BINARY_DIR}/exports.def @ONLY)
    target_sources(orlex_mm PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/exports.def)
    target_compile_definitions(orlex_core PRIVATE __USE_MINGW_ANSI_STDIO=1)
    # Linked as C++ so that -static takes the runtime from its archives: linked as C, CMake would
    # add the C++ side's implicit libraries, the GCC runtime's DLL among them.
    set_target_properties(orlex_mm PROPERTIES LINKER_LANGUAGE CXX)
    target_link_options(orlex_mm PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
    target_link_libraries(orlex_mm PRIVATE ws2_32)
  else()
    set(ORLEX_EXPORTS_MAP ${PROJECT_SOURCE_DIR}/plugin/exports.map)
    target_link_options(orlex_mm PRIVATE
      -static-libgcc
      -Wl,--no-undefined
      -Wl,--exclude-libs,ALL
      -Wl,--gc-sections
      -Wl,--version-script=${ORLEX_EXPORTS_MAP})
    set_property(TARGET orlex_mm APPEND PROPERTY LINK_DEPENDS ${ORLEX_EXPORTS_MAP})
  endif()
endif()
