// The report page: the template filled with the report's sections.
#pragma once

#include <string>

#include "tools/report/model.h"

namespace corvane::report {

// "N errors, M of severity 1, from T1 to T2", and the records cut short.
std::string summary_sentence(const Report& report);

// The whole page; `folder` is the log folder as the user named it.
std::string render_page(const Report& report, const std::string& folder);

}  // namespace corvane::report
