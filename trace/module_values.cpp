#include "trace/module_values.h"

namespace corvane::modVBTrace {

ModuleValues& module_values() {
  thread_local ModuleValues values;
  return values;
}

}  // namespace corvane::modVBTrace
