# The bench program as a user meets it: exit status and messages for bad input, failed
# expectations, the outputs it writes, and a run that leaves the user's files alone.
# Run with cmake -P; BENCH, BIN, SCENARIOS, FIXTURES and WORK are given with -D.

set(failures 0)

# check(NAME RC EXPECTED_TEXT ARGS...): runs the bench with ARGS in WORK, expects the exit status
# and the text somewhere in its output.
function(check name rc text)
  execute_process(COMMAND ${BENCH} ${ARGN} WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE got_rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}${err}" "${text}" found)
  if(NOT got_rc EQUAL rc OR found EQUAL -1)
    message(SEND_ERROR "${name}: expected exit ${rc} and '${text}', got exit ${got_rc}:\n${out}${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/mine)

check("scenario errors: every bad line named, nothing run" 2 "bad.scn:3: expected speed (a number), got 'fast'"
  ${FIXTURES}/bad.scn)
check("scenario errors: the event after the end" 2 "bad.scn:5: this event lies after the end" ${FIXTURES}/bad.scn)
check("failed expectation: line, time, expected, actual" 1 "fails.scn:6: at 0.500 s: power: expected 7, got 3"
  ${FIXTURES}/fails.scn)
check("missing library" 3 "no plug-in library at" ${FIXTURES}/fails.scn --plugin ${WORK}/nowhere.so)
check("library without the entry points, named" 3
  "missing entry points GetPluginVersion, SetVehicleSpec, Initialize, Elapse"
  ${FIXTURES}/fails.scn --plugin ${BIN}/bench_not_a_plugin${CMAKE_SHARED_LIBRARY_SUFFIX})
check("unknown option" 2 "unknown option --svgg" ${FIXTURES}/fails.scn --svgg x.svg)

# Outputs: the CSV has a row per frame, the driver's handles beside the plug-in's and the slots
# named from the INI; the chart is an SVG document.
check("csv and chart written" 0 "chart: " ${SCENARIOS}/quinsora-stepped-meters.scn --csv out.csv --svg out.svg)
file(STRINGS ${WORK}/out.csv rows)
list(LENGTH rows count)
list(GET rows 0 header)
if(NOT count EQUAL 202 OR NOT header MATCHES "^time_s,clock_ms,position_m,speed_kmh,.*,power_driver_notch,power_plugin_notch,.*,panel_10_PanelSpeed,.*,calls$")
  message(SEND_ERROR "csv: expected a header and 201 rows, got ${count} lines, header ${header}")
endif()
file(READ ${WORK}/out.svg svg)
if(NOT svg MATCHES "^<\\?xml.*<svg .*time \\(s\\).*</svg>")
  message(SEND_ERROR "svg: not a chart with a time axis")
endif()

# A private run: the user's library gets no INI file beside it (Tavrel creates one when it is
# missing), and an ATS.ini in the current folder is not read (its closetime of 100 ms would
# break the scenario's 5 s closing).
file(COPY ${BIN}/Tavrel${CMAKE_SHARED_LIBRARY_SUFFIX} DESTINATION ${WORK}/mine)
file(WRITE ${WORK}/ATS.ini "[DATA]\r\nclosetime=100\r\n")
check("private run" 0 "expectation(s) met" ${SCENARIOS}/tavrel-doorlock-beacons.scn --check
  --plugin ${WORK}/mine/Tavrel${CMAKE_SHARED_LIBRARY_SUFFIX})
if(EXISTS ${WORK}/mine/Tavrel.ini)
  message(SEND_ERROR "private run: an INI file was written beside the user's library")
endif()
