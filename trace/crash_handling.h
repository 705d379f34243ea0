// What the message boxes and the XML error log need to know about crashes,
// failed remote calls and hang-dump diagnosis.
#pragma once

#include <cstdint>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// The suite's crash handler left its marker ("CrashHandler.txt").
bool bfnCrashDetected();
// The message reports a failed remote call (server unavailable, 0x800706BE).
bool bfnRemoteCallError(OleStringView sMsg);
// The lines of "Abends.txt" joined by ", ", or "".
OleString sfnAbendInfo();
// Problem details are sent on for review (the application is the suite).
bool UploadEnabled();
// This component is under hang-dump diagnosis: "DebugInfo.flg" exists, the
// INI names the component, and the debugger object could be created.
// Decided once per apartment (the marker is looked for until it exists).
bool MonitorForHangDumps();
bool DiagnoseThisComponent();
bool DebuggerObjectInitialized();

// Ends the suite's editor processes (TerminateQuillon of "QuillonUtilsV8.dll"),
// restarts its main program with the process identifier from "WordPID.txt"
// (which lPID receives) and, with bExitProcess, ends this process with exit
// code 0. Errors are logged; a missing main program ends the routine before
// the exit.
void CallTerminateQuillon(std::int32_t& lPID, bool bUserShutdown, bool bRestart, bool bExitProcess);

}  // namespace corvane::modVBTrace
