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
