# Runs the corvane host on the sample list with a replacement and checks what
# it prints and the detail log it writes.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
function(expect_output expected)
  execute_process(COMMAND ${CORVANE} ${ARGN} ${SAMPLE} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "corvane ${ARGN} printed (exit ${rc}):\n${out}\nexpected:\n${expected}")
  endif()
endfunction()
expect_output("0\talpha\n1\tBravissimo\n2\tcharlie (12)\n3\tdelta\n4\tEcho\n"
              --detail-log ${WORK}/detail.log --log-dir ${WORK} --trace-level 2
              --replace 1=Bravissimo --replace 9=nowhere)
# The logged error's line (its form is pinned by the trace library's tests),
# then the errors file's opening.
file(READ ${WORK}/detail.log log)
if(NOT log MATCHES "\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> clsStringList.ReplaceString\tIndex for string to be replaced is outside of range of array: 9\tSeverity: 2\n[^\n]*\tCorvane\tmodVBTrace.WriteErrorNode: Attempting to open: [^\n]*detailErrors.log\n$")
  message(FATAL_ERROR "unexpected detail log:\n${log}")
endif()
# Two lines, each ended by CR LF (file(READ) as text does not show the CR).
file(READ ${WORK}/detail.log bytes HEX)
string(REGEX MATCHALL "0d0a|0a" breaks "${bytes}")
if(NOT breaks STREQUAL "0d0a;0d0a")
  message(FATAL_ERROR "the detail log is not two CR LF lines: ${bytes}")
endif()
# The logged error's record in the errors file beside it, by this program.
file(READ ${WORK}/detailErrors.log errors)
if(NOT errors MATCHES "<errorDescription>Index for string to be replaced is outside of range of array: 9</errorDescription>\n        <component>corvane</component>")
  message(FATAL_ERROR "unexpected errors file:\n${errors}")
endif()

# The lookups as subcommands, on the same (sorted) sample list.
expect_output("1\tBravo\n" match BRAVO)
expect_output("-1\n" match bravissimo)
expect_output("-1 (no search)\n" match --long x)
expect_output("2\tcharlie (12)\n" prefix CH)
expect_output("3\tdelta\n" prefix dz)
expect_output("code: no\n2\tcharlie (12)\n" describe Charlie)
expect_output("code: yes\n2\tcharlie (12)\n" describe "charlie (12)" --with-code)

# The session statistics of a log folder.
file(WRITE ${WORK}/Session.ini "[SessionStats]\r\nSeverity2Count=3\r\nmachine=box\r\n")
execute_process(COMMAND ${CORVANE} stats --log-dir ${WORK} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "\nSeverity2Count=3\nSeverity3Count=\n" OR NOT out MATCHES "\nMachine=box\n")
  message(FATAL_ERROR "corvane stats printed (exit ${rc}):\n${out}")
endif()
