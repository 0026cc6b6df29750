# ats_add_plugin(NAME LOGIC module.cpp): one plug-in library from the frame, a logic library and
# the module file that binds them. Named NAME.dll on Windows and NAME.so on Linux.
function(ats_add_plugin name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LOGIC;SOURCES")
  add_library(${name} SHARED ${arg_SOURCES}
    ${PROJECT_SOURCE_DIR}/frame/entry_points.cpp
    ${PROJECT_SOURCE_DIR}/platform/${ATS_PLATFORM_DIR}/loader.cpp)
  target_link_libraries(${name} PRIVATE ${arg_LOGIC} ats_frame ats_platform ats_warnings)
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  if(WIN32)
    # Undecorated export names: the host looks the entry points up as plain "Elapse" and so on.
    target_link_options(${name} PRIVATE -Wl,--kill-at)
  else()
    set(map ${PROJECT_SOURCE_DIR}/frame/exports.map)
    target_link_options(${name} PRIVATE -Wl,--version-script=${map})
    if(NOT ATS_SANITIZE)
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
    target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
  endif()
endfunction()
