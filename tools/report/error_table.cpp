#include "tools/report/error_table.h"

#include <charconv>

namespace corvane::report {

namespace {

constexpr std::string_view kOpen = "<error>", kClose = "</error>";

int positive_number(std::string_view text, int fallback) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : fallback;
}

std::string* field(ErrorEntry& e, std::string_view name) {
  struct Field {
    std::string_view name;
    std::string ErrorEntry::*member;
  };
  static constexpr Field kFields[] = {{"firstOccurrence", &ErrorEntry::first_occurrence},
                                      {"severity", &ErrorEntry::severity},
                                      {"displayedToUser", &ErrorEntry::displayed_to_user},
                                      {"errorNumber", &ErrorEntry::number},
                                      {"errorDescription", &ErrorEntry::description},
                                      {"component", &ErrorEntry::component},
                                      {"module", &ErrorEntry::module},
                                      {"member", &ErrorEntry::member},
                                      {"lineNumber", &ErrorEntry::line_number},
                                      {"count", &ErrorEntry::count}};
  for (const Field& f : kFields) {
    if (f.name == name) return &(e.*f.member);
  }
  return nullptr;
}

// Reads the elements of one record's body ("<name>value</name>" or
// "<name/>", one after the other with any space between). An element whose
// end is missing takes the rest of the body as its value.
void read_elements(std::string_view body, ErrorEntry& e) {
  for (std::size_t at = body.find('<'); at != std::string_view::npos; at = body.find('<', at)) {
    const std::size_t gt = body.find('>', at);
    if (gt == std::string_view::npos) return;  // a tag cut in the middle
    std::string_view name = body.substr(at + 1, gt - at - 1);
    if (!name.empty() && name.back() == '/') {
      at = gt + 1;
      continue;  // an empty element: the value stays empty
    }
    const std::string end_tag = "</" + std::string(name) + ">";
    const std::size_t end = body.find(end_tag, gt + 1);
    const std::size_t stop = end == std::string_view::npos ? body.size() : end;
    std::string_view raw = body.substr(gt + 1, stop - gt - 1);
    if (end == std::string_view::npos) {
      // What there is of the value: without an end tag cut in the middle
      // (values hold no '<' of their own) and the space that follows.
      raw = raw.substr(0, raw.find('<'));
      raw = raw.substr(0, raw.find_last_not_of(" \t\r\n") + 1);
    }
    if (std::string* value = field(e, name)) *value = decode_entities(decode_log_bytes(raw));
    at = end == std::string_view::npos ? body.size() : end + end_tag.size();
  }
}

}  // namespace

std::string ErrorEntry::source() const {
  auto name = [](const std::string& s) { return s.empty() ? std::string("?") : s; };
  return name(component) + "." + name(module) + "." + name(member);
}

int ErrorEntry::severity_number() const {
  return positive_number(severity, 0);
}

int ErrorEntry::count_number() const {
  return positive_number(count, 1);
}

std::vector<ErrorEntry> read_error_table(std::string_view bytes, const std::string& file_name) {
  std::vector<ErrorEntry> entries;
  for (std::size_t at = bytes.find(kOpen); at != std::string_view::npos;) {
    const std::size_t next = bytes.find(kOpen, at + kOpen.size());
    std::string_view record = bytes.substr(at, next == std::string_view::npos ? next : next - at);
    ErrorEntry e;
    e.file = file_name;
    const std::size_t close = record.find(kClose);
    e.cut = close == std::string_view::npos;
    if (!e.cut) record = record.substr(0, close + kClose.size());
    // The record's text as written, its first line's indentation included
    // (when that line holds nothing else), without the space that follows.
    const std::size_t line_start = bytes.rfind('\n', at);
    const std::size_t from = line_start == std::string_view::npos ? 0 : line_start + 1;
    std::string_view shown = bytes.substr(from, at - from + record.size());
    if (shown.find_first_not_of(" \t") != at - from) shown = record;
    shown = shown.substr(0, shown.find_last_not_of(" \t\r\n") + 1);
    e.text = decode_log_bytes(shown);
    read_elements(
        record.substr(kOpen.size(), record.size() - kOpen.size() - (e.cut ? 0 : kClose.size())), e);
    e.time = parse_error_time(e.first_occurrence);
    entries.push_back(std::move(e));
    at = next;
  }
  return entries;
}

}  // namespace corvane::report
