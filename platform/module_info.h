// Where the component itself lives: the full path of its own library (or
// program) file.
#pragma once

#include "automation/ole_types.h"
#include "platform/replaceable.h"

namespace corvane::platform {

class ModuleInfo : public Replaceable<ModuleInfo> {
 public:
  virtual ~ModuleInfo() = default;
  virtual OleString own_file_path() = 0;

  static ModuleInfo& system();
};

#ifdef _WIN32
// The full path of a loaded module's file ("" when the system cannot say).
OleString module_file_path(HMODULE module);
#endif

// The file name without folder and extension ("Corvane" for ...\Corvane.dll).
OleString file_base_name(OleStringView path);

// The folder of a path, without its last separator ("" when it has none).
OleString file_folder(OleStringView path);

}  // namespace corvane::platform
