// Text as the log files hold it: bytes in the ANSI code page (UTF-8 on Linux),
// entities of the error table, and the two forms of time stamp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::report {

// UTF-8 of log bytes: valid UTF-8 sequences are kept, every other byte is a
// character of Windows-1252, the code page the suite's machines write in.
std::string decode_log_bytes(std::string_view bytes);

// The text with the error table's entities (&amp; &quot; &apos; &lt; &gt; and
// numeric ones) turned back into characters; an unknown one is kept as it is.
std::string decode_entities(std::string_view text);

// A moment of a log, to the second.
struct LogTime {
  std::int64_t seconds = 0;  // since 1 January 1970, local time of the writer
  // "yyyy-mm-dd hh:mm:ss".
  std::string text() const;
  auto operator<=>(const LogTime&) const = default;
};

// "mm/dd/yyyy hh:nn:ss", the error table's firstOccurrence.
std::optional<LogTime> parse_error_time(std::string_view text);
// "MM-dd-yy HH:mm:ss.mmm" at the start of a summary line (years 00-29 are
// 2000-2029, 30-99 are 1930-1999, as the runtime reads two-digit years).
std::optional<LogTime> parse_stamp(std::string_view text);

}  // namespace corvane::report
