# ats_add_plugin(NAME LOGIC logic_library SOURCES module.cpp ...): one plug-in library from the
# shared entry points and loader hook (ats_entry, compiled once), a logic library and the module
# file that binds them. Named NAME.dll on Windows and NAME.so on Linux, and added to the global
# property ATS_PLUGINS.
function(ats_add_plugin name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LOGIC;SOURCES")
  add_library(${name} SHARED ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ats_entry ${arg_LOGIC} ats_frame ats_platform ats_base)
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  if(WIN32)
    # Undecorated export names: the host looks the entry points up as plain "Elapse" and so on.
    target_link_options(${name} PRIVATE -Wl,--kill-at)
  else()
    set(map ${PROJECT_SOURCE_DIR}/frame/exports.map)
    target_link_options(${name} PRIVATE -Wl,--version-script=${map})
    if(NOT ATS_SANITIZE)
      # Self-contained: the C++ runtime and the compiler's support library are linked in with their
      # symbols hidden, so the library loads beside any other libstdc++ (or none) in the host and
      # needs only the C library. The sanitizer builds keep the shared runtimes, which their
      # interceptors expect, and may leave symbols to the sanitizer runtime.
      target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL
        -Wl,--no-undefined)
    endif()
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
    target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
  endif()
  set_property(GLOBAL APPEND PROPERTY ATS_PLUGINS ${name})
endfunction()
