# regsvr32 /n /i:user registers Corvane.dll for the current user only and
# regsvr32 /u /n /i:user removes that: the class key appears under, and goes
# from, HKEY_CURRENT_USER\Software\Classes, while the machine's stays.
# Called with -DWINE="<emulator;...>" -DDLL=<Windows path of the DLL>.
set(user_class "HKCU\\Software\\Classes\\CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}\\InprocServer32")
set(machine_class "HKLM\\Software\\Classes\\CLSID\\{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}")

function(run expected_rc)
  execute_process(COMMAND ${WINE} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_QUIET)
  if(expected_rc STREQUAL "0" AND NOT rc EQUAL 0 OR NOT expected_rc STREQUAL "0" AND rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit code ${rc}, expected ${expected_rc}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run(0 regsvr32 /s /n /i:user ${DLL})
run(0 reg query ${user_class})
string(FIND "${output}" "Corvane.dll" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the user's class key does not name the DLL:\n${output}")
endif()
run(0 regsvr32 /s /u /n /i:user ${DLL})
run(nonzero reg query ${user_class})
run(0 reg query ${machine_class})
message(STATUS "per-user registration written and removed")
