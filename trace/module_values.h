// The trace library's module values: one set per apartment. The component is
// apartment-threaded (one thread per apartment), so per-thread storage is one
// set per apartment.
#pragma once

#include <cstdint>
#include <optional>

#include "automation/ole_types.h"

namespace corvane::modVBTrace {

struct ModuleValues {
  // Highest level of trace line written; 0 until Init, raised to 2 by the
  // first GlobalTrace call that gets past its first checks.
  std::int32_t trace_level = 0;
  OleString detail_log_path;
  OleString summary_log_path;
  OleString log_folder;
  // Empty until Init stores "Corvane" or sfnProcessName stores the file name.
  std::optional<OleString> process_name;
  // Empty until bfnErrorBoxesEnabled first reads it.
  std::optional<bool> error_boxes_enabled;

  // Caches of the log locations, each filled once.
  std::optional<OleString> app_path;
  std::optional<OleString> app_name;
  std::optional<bool> use_quillon_app_path;
  std::optional<OleString> module_path;

  // The trace viewer's window as last found, and its title then.
  std::intptr_t tracer_window = 0;
  OleString tracer_title;

  // Hang-dump diagnosis: decided once; the debugger object once created.
  std::optional<bool> hang_monitor;
  std::intptr_t debugger_object = 0;

  // The XML error table's folder: fixed at the first record.
  std::optional<OleString> errors_folder;
  // True while an ErrMsgBox call runs; empty before the first.
  std::optional<bool> in_errmsgbox;
  // True while a report asks for a hang dump: a failure reported from inside
  // that request is recorded without asking again (which would recurse).
  bool in_hang_dump_request = false;

  // Fixed at their first successful lookup.
  OleString session_ini_path;
  OleString script_comparison_log_path;
};

// This apartment's values.
ModuleValues& module_values();

}  // namespace corvane::modVBTrace
