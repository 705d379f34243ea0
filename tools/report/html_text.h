// Text taken from the logs, made safe for the page.
#pragma once

#include <string>
#include <string_view>

namespace corvane::report {

// & < > " ' as entities: safe in element text and in quoted attributes.
std::string html_escape(std::string_view text);

}  // namespace corvane::report
