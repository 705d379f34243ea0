// The viewer's records: what arrived (kind, local time of arrival, the ANSI
// text), which of them the view shows (filter by kind and by text, pause),
// and their saved form, one line per record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::viewer {

// The channels of the trace library.
inline constexpr std::uint32_t kDetail = 1;
inline constexpr std::uint32_t kSummary = 2;
inline constexpr std::uint32_t kErrors = 3;

struct Record {
  std::uint32_t kind = 0;
  std::string arrived;  // "YYYY-MM-DD hh:mm:ss.mmm", local time
  std::string text;     // the sender's ANSI bytes
};

// "detail", "summary", "errors", or the number of another kind.
std::string kind_name(std::uint32_t kind);

// Now, in the form of Record::arrived (through platform::Clock).
std::string arrival_time_now();

// The text as one line: CR and LF inside it shown as \r and \n.
std::string one_line(std::string_view text);

// kind TAB arrival TAB text (as one_line), and a line feed.
std::string record_line(const Record& record);

class RecordList {
 public:
  void add(Record record);
  // Removes every record, those held back by a pause too.
  void clear();

  void show_kind(std::uint32_t kind, bool shown);
  bool kind_shown(std::uint32_t kind) const { return hidden_kinds_.count(kind) == 0; }
  // Shows only records whose text holds `text`, ignoring the case of ASCII
  // letters; an empty text shows all.
  void filter_text(std::string text);
  // While paused, records keep arriving but the view does not change.
  void pause(bool paused);
  bool paused() const { return paused_; }

  std::size_t size() const { return records_.size(); }
  std::size_t shown_count() const { return shown_.size(); }
  const Record& shown(std::size_t index) const { return records_[shown_[index]]; }

  // Writes every record that passes the filters, those held back by a pause
  // included, in arrival order (record_line each).
  void save(std::ostream& out) const;

  // Whether the filters let `record` through.
  bool passes(const Record& record) const;

 private:
  void review(bool anew);

  std::vector<Record> records_;
  std::vector<std::size_t> shown_;  // indexes into records_
  std::size_t reviewed_ = 0;        // records_[0, reviewed_) were considered for shown_
  std::size_t held_from_ = 0;       // while paused: records_[held_from_, end) are held back
  std::set<std::uint32_t> hidden_kinds_;
  std::string filter_;  // lowercased
  bool paused_ = false;
};

}  // namespace corvane::viewer
