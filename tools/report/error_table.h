// Reading an errors file of the XML error table as it may be found: its
// <Errors> never closed, a record cut short when its process ended while
// writing, text in the ANSI code page. Whatever can be read is kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/report/log_text.h"

namespace corvane::report {

struct ErrorEntry {
  // The elements' values, entities decoded; empty when the element is empty
  // or missing.
  std::string first_occurrence, severity, displayed_to_user, number, description, component, module,
      member, line_number, count;
  std::optional<LogTime> time;  // of first_occurrence, when it reads as one
  // The record ends before its </error> (the last element read may then be
  // cut too: its value is what there is of it).
  bool cut = false;
  std::string text;  // the record as the file holds it, decoded
  std::string file;  // the errors file's name

  // "component.module.member", a missing name as "?".
  std::string source() const;
  // The severity as a number, 0 when it is not one.
  int severity_number() const;
  // The count, 1 when it is not a positive number.
  int count_number() const;
};

// The records of one file's bytes, in file order; text before the first
// <error> (the heading) and after the last </error> that is no record is
// left out.
std::vector<ErrorEntry> read_error_table(std::string_view bytes, const std::string& file_name);

}  // namespace corvane::report
