# The bench program as a user meets it: exit status and messages for bad input, failed
# expectations, the outputs it writes, and a run that leaves the user's files alone.
# Run with cmake -P; BENCH, BIN, SCENARIOS, FIXTURES, WORK and SANITIZED are given with -D.

set(failures 0)

# check_not(NAME TEXT ARGS...): the text appears nowhere in the bench's output.
function(check_not name text)
  execute_process(COMMAND ${BENCH} ${ARGN} WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE got_rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}${err}" "${text}" found)
  if(NOT found EQUAL -1)
    message(SEND_ERROR "${name}: '${text}' in the output:\n${out}${err}")
  endif()
endfunction()

# expect_file(NAME PATH CONTENTS): a file of the user's holds what it held before.
function(expect_file name path contents)
  file(READ ${path} got)
  if(NOT got STREQUAL contents)
    message(SEND_ERROR "${name}: ${path} was changed")
  endif()
endfunction()

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
check("unknown option" 2 "unknown option '--svgg'" ${FIXTURES}/fails.scn --svgg x.svg)

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

# Command-line conventions: help on stdout with the exit statuses, a version, --opt=value, stdin.
execute_process(COMMAND ${BENCH} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "Exit status:.*4  an output file could not be written.*docs/scenarios.md"
   OR NOT err STREQUAL "")
  message(SEND_ERROR "--help: expected the help with exit statuses on stdout, got exit ${rc}:\n${out}${err}")
endif()
# The help lists every option of the command line and the ini command.
foreach(option "--plugin PATH" "--csv FILE" "--svg FILE" "--junit FILE" "--check" "--only LIST" "--from TIME"
    "--to TIME" "-q, --quiet" "-v, --verbose" "--help" "--version" "bench ini FILE")
  string(FIND "${out}" "${option}" found)
  if(found EQUAL -1)
    message(SEND_ERROR "--help: '${option}' is not listed:\n${out}")
  endif()
endforeach()
check("version" 0 "bench 1." --version)
# The timeline's filters take their values either way, and a bad one is bad input.
check("--only=value" 0 "expectation(s) met" ${SCENARIOS}/vesk-steady-overspeed.scn --only=calls --from=0 --to 1)
check("--only with an unknown kind" 2 "--only: unknown item 'nothing-such'" ${SCENARIOS}/vesk-steady-overspeed.scn --only nothing-such)
check("--from without a time" 2 "--from and --to take a time" ${SCENARIOS}/vesk-steady-overspeed.scn --from soon)
check("--only takes a value" 2 "--only needs a value" ${SCENARIOS}/vesk-steady-overspeed.scn --only)
check("--opt=value" 0 "csv: " ${SCENARIOS}/vesk-steady-overspeed.scn --check --csv=eq.csv)
execute_process(COMMAND ${BENCH} --check - INPUT_FILE ${FIXTURES}/fails.scn WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "<stdin>:6: at 0.500 s: power: expected 7, got 3")
  message(SEND_ERROR "stdin: expected the failure named after <stdin>, got exit ${rc}:\n${out}${err}")
endif()
check("an option without its value" 2 "--csv needs a value" ${FIXTURES}/fails.scn --csv=)

# Many scenarios: a line each, the highest status, a JUnit report.
check("a folder of scenarios" 0 " passed, 0 failed, 0 not run" ${SCENARIOS} --junit all.xml)
file(READ ${WORK}/all.xml junit)
if(NOT junit MATCHES "<testsuites name=\"bench\" tests=\"[0-9]+\" failures=\"0\" errors=\"0\".*name=\"vesk-runaway-descent\"")
  message(SEND_ERROR "junit: expected every bundled scenario passing, got:\n${junit}")
endif()
check("a failing scenario among others" 1 "FAILED ${FIXTURES}/fails.scn: 1 of 2 expectation(s) failed"
  ${FIXTURES}/fails.scn ${SCENARIOS}/vesk-steady-overspeed.scn --junit some.xml)
file(READ ${WORK}/some.xml junit)
if(NOT junit MATCHES "tests=\"2\" failures=\"1\".*<failure message=\"1 of 2 expectation\\(s\\) failed\">[^<]*fails.scn:6: at 0.500 s")
  message(SEND_ERROR "junit: expected one failure with its message, got:\n${junit}")
endif()
check("a bad scenario among others: the highest status" 2 "ERROR  ${FIXTURES}/bad.scn: not run: bad scenario"
  ${FIXTURES}/fails.scn ${FIXTURES}/bad.scn)

# Outputs never replace the user's files: not the scenario, not the plug-in, not another output,
# however the path is spelled.
file(WRITE ${WORK}/mine.scn "plugin Vesk\nend 1\nat 1 expect brake = 0\n")
file(READ ${WORK}/mine.scn mine)
check("csv over the scenario" 2 "--csv mine.scn is the scenario mine.scn" mine.scn --csv mine.scn)
check("svg over the scenario, spelled otherwise" 2 "is the scenario" mine.scn --svg ./mine/../mine.scn)
file(CREATE_LINK ${WORK}/mine.scn ${WORK}/linked.scn SYMBOLIC)
check("csv over a link to the scenario" 2 "is the scenario" mine.scn --csv linked.scn)
expect_file("outputs over the scenario" ${WORK}/mine.scn "${mine}")
check("two outputs, one file" 2 "--svg and --csv name the same file" mine.scn --csv same.out --svg ./same.out)
check("csv over the plug-in" 2 "is the plug-in library" mine.scn --plugin ${WORK}/mine/Tavrel${CMAKE_SHARED_LIBRARY_SUFFIX}
  --csv mine/Tavrel${CMAKE_SHARED_LIBRARY_SUFFIX})
check("junit over a plug-in beside the bench" 2 "is the plug-in library" ${FIXTURES}/fails.scn
  --junit ${BIN}/Vesk${CMAKE_SHARED_LIBRARY_SUFFIX})
check("junit over a scenario of the list" 2 "--junit mine.scn is the scenario" mine.scn ${FIXTURES}/fails.scn
  --junit mine.scn)
expect_file("outputs over the scenario" ${WORK}/mine.scn "${mine}")

# A failed write says why, has a status of its own and leaves the old file as it was.
file(MAKE_DIRECTORY ${WORK}/folder.csv)
check("a folder in the way" 4 "cannot write the csv folder.csv: a folder is in the way" mine.scn --csv folder.csv)
file(WRITE ${WORK}/old.csv "old contents\n")
execute_process(COMMAND bash -c "ulimit -f 200 && exec \"$0\" \"$@\"" ${BENCH} ${FIXTURES}/wide.scn
  --plugin ${BIN}/bench_fake_plugin${CMAKE_SHARED_LIBRARY_SUFFIX} --check --csv old.csv WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 4 OR NOT err MATCHES "cannot write the csv old.csv: File too large")
  message(SEND_ERROR "a write beyond the file-size limit: expected exit 4 and the reason, got ${rc}:\n${out}${err}")
endif()
expect_file("a failed write" ${WORK}/old.csv "old contents\n")
file(GLOB leftovers ${WORK}/.old.csv.*)
if(leftovers)
  message(SEND_ERROR "a failed write left ${leftovers}")
endif()

# The plug-in's notice (Quinsora prints its path on stderr on Linux) is labelled in the timeline and
# kept out of --check output. Sanitizer builds leave stderr alone, for the sanitizer's reports.
if(NOT SANITIZED)
  check("the notice in the timeline" 0 "notice   plug-in's notice: <private folder>/Quinsora"
    ${SCENARIOS}/quinsora-defaults.scn)
  check_not("no notice with --check" "Quinsora${CMAKE_SHARED_LIBRARY_SUFFIX}" ${SCENARIOS}/quinsora-defaults.scn
    --check)
endif()

# Scenario files that are no scenarios.
check("a byte-order mark" 0 "expectation(s) met" ${FIXTURES}/bom.scn --check)
check("a binary file" 2 "not a text file" ${BIN}/Vesk${CMAKE_SHARED_LIBRARY_SUFFIX})
