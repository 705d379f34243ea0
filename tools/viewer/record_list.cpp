#include "tools/viewer/record_list.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "platform/clock.h"

namespace corvane::viewer {

namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string kind_name(std::uint32_t kind) {
  switch (kind) {
    case kDetail:
      return "detail";
    case kSummary:
      return "summary";
    case kErrors:
      return "errors";
    default:
      return std::to_string(kind);
  }
}

std::string arrival_time_now() {
  const platform::LocalTime t = platform::Clock::current().local_time();
  char text[48];  // room for any 16-bit fields
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned{t.year},
                unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                unsigned{t.second}, unsigned{t.milliseconds});
  return text;
}

std::string one_line(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return line;
}

std::string record_line(const Record& record) {
  return kind_name(record.kind) + '\t' + record.arrived + '\t' + one_line(record.text) + '\n';
}

void RecordList::add(Record record) {
  records_.push_back(std::move(record));
  review(false);
}

void RecordList::clear() {
  records_.clear();
  held_from_ = 0;
  review(true);
}

void RecordList::show_kind(std::uint32_t kind, bool shown) {
  if (shown == kind_shown(kind)) return;
  if (shown) {
    hidden_kinds_.erase(kind);
  } else {
    hidden_kinds_.insert(kind);
  }
  review(true);
}

void RecordList::filter_text(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), lower);
  if (text == filter_) return;
  filter_ = std::move(text);
  review(true);
}

void RecordList::pause(bool paused) {
  if (paused && !paused_) held_from_ = records_.size();
  paused_ = paused;
  review(false);
}

bool RecordList::passes(const Record& record) const {
  if (!kind_shown(record.kind)) return false;
  if (filter_.empty()) return true;
  const auto found = std::search(record.text.begin(), record.text.end(), filter_.begin(),
                                 filter_.end(), [](char a, char b) { return lower(a) == b; });
  return found != record.text.end();
}

// Brings shown_ up to date with the records the view may show: all of them,
// or while paused those that came before the pause. `anew` after a change of
// the filters.
void RecordList::review(bool anew) {
  if (anew) {
    shown_.clear();
    reviewed_ = 0;
  }
  const std::size_t end = paused_ ? held_from_ : records_.size();
  for (; reviewed_ < end; ++reviewed_) {
    if (passes(records_[reviewed_])) shown_.push_back(reviewed_);
  }
}

void RecordList::save(std::ostream& out) const {
  for (const Record& record : records_) {
    if (passes(record)) out << record_line(record);
  }
}

}  // namespace corvane::viewer
