# Runs the corvane host on the sample list with a replacement and checks what
# it prints and the detail log it writes.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(
  COMMAND ${CORVANE} --detail-log ${WORK}/detail.log --log-dir ${WORK} --trace-level 2
          --replace 1=Bravissimo --replace 9=nowhere ${SAMPLE}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "corvane exited with ${rc}")
endif()
set(expected "0\talpha\n1\tBravissimo\n2\tcharlie (12)\n3\tdelta\n4\tEcho\n")
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "corvane printed:\n${out}\nexpected:\n${expected}")
endif()
file(READ ${WORK}/detail.log log)
if(NOT log MATCHES "^[0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]\\.[0-9][0-9][0-9]\tCorvane\tmodVBTrace.GlobalErrorsLog: GlobalErrorsLog >>> clsStringList.ReplaceString\tIndex for string to be replaced is outside of range of array: 9\tSeverity: 2\n$")
  message(FATAL_ERROR "unexpected detail log:\n${log}")
endif()
# One line, ended by CR LF (file(READ) as text does not show the CR).
file(READ ${WORK}/detail.log bytes HEX)
string(FIND "${bytes}" "0d0a" crlf)
string(LENGTH "${bytes}" size)
math(EXPR end "${size} - 4")
if(NOT crlf EQUAL end)
  message(FATAL_ERROR "the detail log is not one CR LF line: ${bytes}")
endif()
execute_process(COMMAND ${CORVANE} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT help MATCHES "usage: corvane")
  message(FATAL_ERROR "corvane --help failed")
endif()

# The lookups as subcommands, on the same (sorted) sample list.
function(expect_output expected)
  execute_process(COMMAND ${CORVANE} ${ARGN} ${SAMPLE} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "corvane ${ARGN} printed (exit ${rc}):\n${out}\nexpected:\n${expected}")
  endif()
endfunction()
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
