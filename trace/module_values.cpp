#include "trace/module_values.h"

#include "platform/thread_values.h"

namespace corvane::modVBTrace {

ModuleValues& module_values() {
  return platform::ThreadValues::get<ModuleValues>();
}

}  // namespace corvane::modVBTrace
