# What a release needs from every build: the archives' short name, a version resource in every
# Windows file we ship, and (with ATS_REPRODUCIBLE, set by the release presets) the flags that make
# two builds of one commit byte-identical wherever and whenever they run.
#
# The version is the project's (project(... VERSION ...) in the top CMakeLists.txt); nothing else
# holds it.

set(ATS_ARCHIVE_NAME notchwork)
set(ATS_COPYRIGHT "Copyright (c) the notchwork developers. MIT licence.")
option(ATS_REPRODUCIBLE "Build paths kept out of the binaries, shipped files stripped" OFF)

if(WIN32)
  enable_language(RC)
  # A zero time stamp in the PE header instead of the link time.
  add_link_options(-Wl,--no-insert-timestamp)
endif()

if(ATS_REPRODUCIBLE)
  # No folder of the build machine in any output: source and build folders are renamed in file
  # names the compiler records, and the shipped files carry no symbols or debug information.
  add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
  add_link_options(-s)
endif()

# ats_version_resource(TARGET DESCRIPTION): a version resource for TARGET's Windows file (file and
# product version, description, name, copyright), shown in the file's properties on Windows.
function(ats_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(ATS_RC_FILETYPE VFT_APP)
    set(ATS_RC_FILENAME ${target}.exe)
  else()
    set(ATS_RC_FILETYPE VFT_DLL)
    set(ATS_RC_FILENAME ${target}.dll)
  endif()
  set(ATS_RC_NAME ${target})
  set(ATS_RC_DESCRIPTION "${description}")
  set(rc ${PROJECT_BINARY_DIR}/version/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# Called once every target exists: each shipped file with its description.
function(ats_version_resources)
  ats_version_resource(Tavrel "Tavrel: door control for driver-only trains")
  ats_version_resource(Quinsora "Quinsora: cab meters that move in steps")
  ats_version_resource(Vesk "Vesk: overspeed emergency-brake lock")
  ats_version_resource(Recorder "Recorder: records a plug-in's session as a bench scenario")
  ats_version_resource(bench "Bench: drives a plug-in through a scenario file")
endfunction()
