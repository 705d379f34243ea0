// What the running program is called in log lines and how time stamps are
// written.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

// "Corvane" once Init has run; before that the component's own file name
// without extension (stored on first use).
OleString sfnProcessName();
// The same name without a copy, valid until the module's values are reset.
OleStringView process_name_view();

// Local date and time: "MM-dd-yy HH:mm:ss.fff".
OleString SystemTimeStamp();

// The text before its first NUL character (all of it when there is none).
OleString StripNulls(OleStringView sText);

// How many characters follow the last occurrence of `sTarget` within the last
// `lTailLength` characters of `sText` (all of it when negative); 0 when not
// found or when the target is the very last character.
std::int32_t lfnBackwardsInstr(OleStringView sText, OleStringView sTarget,
                               std::int32_t lTailLength);

}  // namespace corvane::modVBTrace

namespace corvane::modVBTrace {

// The folder for the library's side files, without a trailing backslash:
// the roaming data folder & "\Marrowind\QuillonMTV10" (created when missing)
// when the component runs as part of the suite, else the component's own
// folder. Decided once per apartment.
OleString AppPath();
OleString sfnQuillonDataFolder();
void CreateQuillonDataFolders();
OleString sfnAppDataFolder();
bool UseQuillonAppPath();
bool IsQuillonModule();
bool InQuillonDevEnv();
OleString ModulePath();
OleString GetQuillonModulePath();
OleString QuillonPathVal();
OleString CrashHandlerFile();
OleString AppName();
// The message without the suite server's exception prefix and the name that
// follows it up to its colon.
OleString sfnStripScribePrefix(OleStringView sText);
// The title of a window (at most 79 characters), or "***NONE".
OleString sfnWindowText(std::intptr_t hWnd);

// The prefix the suite's server puts before the names of its exceptions.
inline constexpr OleStringView kServerExceptionPrefix = OLESTR("com.marrowind.quillon.server.");

// The folder of the component's own file.
OleString component_folder();

}  // namespace corvane::modVBTrace
