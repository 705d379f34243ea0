# The report end to end: client processes write errors of several severities
# (one record cut short, text to escape, a character outside ASCII) and
# session statistics through the library, the corvane host logs one more, then
# `corvane report` writes the page, whose figures are checked against what was
# written; the page is loaded in headless Chromium (no console message, a
# screenshot) when CHROMIUM names it.
#   -DCORVANE= -DWRITER= -DWORK= [-DWINE= -DWINEPREFIX=] [-DCHROMIUM=] [-DSCREENSHOT=]
# With WINE the programs run under it and are given Windows paths (Z:\...).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/Logs)
if(WINE)
  set(run env WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d LC_ALL=C.UTF-8 WINEPREFIX=${WINEPREFIX} ${WINE})
  string(REPLACE "/" "\\" logs "Z:${WORK}/Logs")
  set(folder ${logs})  # the report is asked of the Logs folder itself
else()
  set(run)
  set(logs ${WORK}/Logs)
  set(folder ${WORK})  # ... or of the folder of the Logs/Errors pair
endif()

# SEVERITY|NUMBER|MODULE.MEMBER|DESCRIPTION, see report_writer.cpp.
set(alpha "1|5|modA.Alpha|Disk <full> & \"quoted\" 'text'")
set(beta "3|91|modB.Beta|Object variable not set")
set(gamma "2|9|modC.Gamma|Subscript out of range: café")
set(delta "2|13|modD.Delta|Type mismatch")
set(epsilon "4|6|modE.Epsilon|</pre><script>alert(1)</script>")
set(first_writer "${alpha}" "${alpha}" count=4 count=4 "${beta}")
set(second_writer "${alpha}" "${gamma}" count=4 count=5)
# Two writers at once, then one that dies in the middle of its record, then
# one whose record follows the torn one, then the host (severity 2, its own
# member and number).
execute_process(COMMAND ${run} ${WRITER} ${logs} ${first_writer}
                COMMAND ${run} ${WRITER} ${logs} ${second_writer} RESULTS_VARIABLE rcs)
execute_process(COMMAND ${run} ${WRITER} ${logs} "cut=${delta}" RESULT_VARIABLE rc_cut)
execute_process(COMMAND ${run} ${WRITER} ${logs} "${epsilon}" RESULT_VARIABLE rc_epsilon)
execute_process(COMMAND ${run} ${CORVANE} --detail-log ${logs}\\detail.log --log-dir ${logs}
                        --replace 9=nowhere ${CMAKE_CURRENT_LIST_DIR}/../../tools/sample_list.txt
                OUTPUT_QUIET RESULT_VARIABLE rc_host)
if(NOT "${rcs};${rc_cut};${rc_epsilon};${rc_host}" STREQUAL "0;0;0;0;0")
  message(FATAL_ERROR "the writers ended with ${rcs}, ${rc_cut}, ${rc_epsilon}, ${rc_host}")
endif()

execute_process(COMMAND ${run} ${CORVANE} report ${folder} OUTPUT_VARIABLE out ERROR_VARIABLE err
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "report written to ([^\r\n]*)report.html")
  message(FATAL_ERROR "corvane report (exit ${rc}) printed:\n${out}${err}")
endif()
if(WINE)
  set(page ${WORK}/Logs/report.html)
else()
  set(page ${WORK}/report.html)
endif()
file(READ ${page} html)

# The figures, counted from what was written: each record of the writers, the
# torn one among them, and the host's (severity 2).
set(records ${first_writer} ${second_writer} ${delta} ${epsilon})
set(total 1)
set(first 0)
foreach(record IN LISTS records)
  if(record MATCHES "^([0-9])\\|")
    math(EXPR total "${total} + 1")
    if(CMAKE_MATCH_1 EQUAL 1)
      math(EXPR first "${first} + 1")
    endif()
  endif()
endforeach()
set(stamp "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]")
if(NOT html MATCHES "id=\"summary\">${total} errors, ${first} of severity 1, from ${stamp} to ${stamp} \\(1 record cut short\\)\\.</p>")
  message(FATAL_ERROR "unexpected summary line (${total} errors, ${first} of severity 1, one cut short):\n${html}")
endif()
# Each group: its severity, count and source; the torn record is counted
# and marked, the one after it is whole.
function(expect_group severity count source number)
  if(NOT html MATCHES "<tr class=\"group\" data-severities=\"${severity}\" data-count=\"${count}\" data-source=\"${source}\" data-number=\"${number}\">")
    message(FATAL_ERROR "no group ${member} ${number} of severity ${severity}, count ${count}:\n${html}")
  endif()
endfunction()
expect_group(1 3 "[^\".]+\\.modA\\.Alpha" 5)
expect_group(3 1 "[^\".]+\\.modB\\.Beta" 91)
expect_group(2 1 "[^\".]+\\.modC\\.Gamma" 9)
expect_group(2 1 "[^\"]+" 13)  # torn: its source may be lost
expect_group(4 1 "[^\".]+\\.modE\\.Epsilon" 6)
expect_group(2 1 "[^\".]+\\.\\*\\.Unknown" 0)
string(REGEX MATCHALL "class=\"record cut-record\"" cut "${html}")
list(LENGTH cut cut)
if(NOT cut EQUAL 1 OR NOT html MATCHES "<span class=\"cut\">1 cut short</span>")
  message(FATAL_ERROR "the torn record is not shown as such:\n${html}")
endif()
# Text from the logs is escaped; the character outside ASCII arrives (under
# wine the file holds it as one ANSI byte).
foreach(text "Disk &lt;full&gt; &amp; &quot;quoted&quot; &#39;text&#39;"
             "&lt;/pre&gt;&lt;script&gt;alert(1)&lt;/script&gt;" "Subscript out of range: café")
  string(FIND "${html}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the page lacks \"${text}\":\n${html}")
  endif()
endforeach()
if(html MATCHES "<script>alert|<full>")
  message(FATAL_ERROR "text from the logs reached the page unescaped")
endif()
# The session statistics' counters as bars.
if(NOT html MATCHES "data-name=\"Severity2Count\" data-value=\"3\"" OR
   NOT html MATCHES "data-name=\"Severity3Count\" data-value=\"1\"")
  message(FATAL_ERROR "unexpected statistics chart:\n${html}")
endif()
# The time line counts every timed record and every error line of the summary
# log (the host writes none: it has no summary log).
math(EXPR summary_lines "${total} - 1")
if(NOT html MATCHES "error table records \\(${total}\\)" OR
   NOT html MATCHES "summary log error lines \\(${summary_lines}\\)")
  message(FATAL_ERROR "unexpected time line:\n${html}")
endif()

if(NOT CHROMIUM)
  message(STATUS "chromium is not installed here: the page is not loaded in a browser")
  return()
endif()
set(browser ${CHROMIUM} --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
            --disable-background-networking --disable-component-update --disable-sync
            --user-data-dir=${WORK}/chromium-profile --enable-logging=stderr --v=0)
execute_process(COMMAND ${browser} --dump-dom file://${page} OUTPUT_VARIABLE dom
                ERROR_VARIABLE log RESULT_VARIABLE rc TIMEOUT 120)
# The script ran to its end and counted the rows as the page does.
if(NOT rc EQUAL 0 OR NOT dom MATCHES "data-script=\"ran\"" OR
   NOT dom MATCHES "showing 6 of 6 groups, ${total} errors")
  message(FATAL_ERROR "chromium (exit ${rc}) gave:\n${dom}\n${log}")
endif()
if(log MATCHES "CONSOLE[^\n]*")
  message(FATAL_ERROR "the page wrote to the console: ${CMAKE_MATCH_0}")
endif()
if(SCREENSHOT)
  file(REMOVE ${SCREENSHOT})
  execute_process(COMMAND ${browser} --hide-scrollbars --window-size=900,1000
                          --screenshot=${SCREENSHOT} file://${page}
                  OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE rc TIMEOUT 120)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${SCREENSHOT})
    message(FATAL_ERROR "no screenshot (exit ${rc})")
  endif()
  message(STATUS "screenshot of the page: ${SCREENSHOT}")
endif()
