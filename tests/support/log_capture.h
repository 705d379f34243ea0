// Test support: a private folder with a detail log, replaceable platform
// services that record what reaches them, and a fixed clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/ole_types.h"
#include "platform/automation_objects.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "trace/module_values.h"

namespace corvane::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }
  // The path of a file inside the folder, as automation text.
  OleString file(const std::string& name) const;
  // Writes a file inside the folder (its bytes as given).
  void put(const std::string& name, const std::string& content = "") const;

 private:
  std::filesystem::path path_;
};

// The automation error a call raises (with no description, number 0, when it
// raises none), and its number.
AutomationError error_raised(const std::function<void()>& call);
std::int32_t raised(const std::function<void()>& call);

OleString ole_path(const std::filesystem::path& p);
std::string read_bytes(const std::filesystem::path& p);
std::string read_file(OleStringView p);
// The file's lines, split at CR LF.
std::vector<std::string> read_lines(OleStringView p);

// A helper program or stand-in library built beside this test program
// (".exe" is added on Windows when `name` has no extension).
std::filesystem::path helper_program(const std::string& name);

// How often `what` occurs in `text` (occurrences do not overlap).
std::size_t count_of(const std::string& text, const std::string& what);

// The text with the source line numbers of trap messages, which move with
// every edit of the product, masked: "line: 241" as "line: N", "At line 180"
// as "At line N".
std::string mask_lines(std::string text);

// A trap's standard message, its line masked: "Error " number ": "
// description CR LF "in Corvane." member "." CR LF "The error occured at
// line: N".
std::string trap_message(int number, const std::string& description, const std::string& member);

// Narrow text of ASCII automation text, for comparisons in failure messages.
std::string narrow(OleStringView text);
OleString wide(const std::string& ascii);

// The heading of a new errors file (the one place it is pinned).
inline const std::string kErrorsHeading =
    "<?xml version=\"1.0\" standalone=\"yes\" ?>\r\n<Errors>\r\n";

struct RecordingDebugOutput final : platform::DebugOutput {
  void write(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

struct FixedClock final : platform::Clock {
  // 1 February 2026, 09:05:03.007.
  platform::LocalTime now{2026, 2, 0, 1, 9, 5, 3, 7};
  platform::LocalTime local_time() override { return now; }
  std::string separator = ":";
  std::string time_separator() override { return separator; }
};

struct CountingScreen final : platform::Screen {
  void reset_mouse_pointer() override { ++resets; }
  int resets = 0;
};

// Message boxes that are recorded instead of shown, answered with `answer`;
// `on_show` runs while the box would be up.
struct RecordingMessageBoxes final : platform::MessageBoxes {
  struct Box {
    std::string text, title;
    std::int32_t style;
  };
  std::int32_t show(OleStringView text, OleStringView title, std::int32_t style) override {
    boxes.push_back({narrow(text), narrow(title), style});
    if (on_show) on_show();
    return answer;
  }
  // The last box shown; an empty one when none was, so that a test whose box
  // did not come fails its checks instead of reading past the list.
  const Box& last() const {
    static const Box none{};
    return boxes.empty() ? none : boxes.back();
  }
  std::vector<Box> boxes;
  std::int32_t answer = 1;
  std::function<void()> on_show;
};

// A debugger object (handle 42) that records the calls it gets as
// "42 Method arg arg" (an argument passed by reference as "&arg"); a method
// named in `failing` raises error 91.
struct FakeDebugger final : platform::AutomationObjects {
  std::intptr_t create(OleStringView) override { return 42; }
  void call(std::intptr_t object, OleStringView method, const std::vector<OleString>& arguments,
            Passing passing) override;
  std::string failing;
  std::vector<std::string> calls;
};

// Files that are the system's; a fake derives from it and overrides only
// what it changes.
struct PassThroughFiles : platform::Files {
  using Handle = platform::FileHandle;
  Handle open_append(OleStringView p, std::int32_t* error) override {
    return sys().open_append(p, error);
  }
  void write(Handle file, std::string_view bytes) override { sys().write(file, bytes); }
  void close(Handle file) override { sys().close(file); }
  std::optional<unsigned> attributes(OleStringView p) override { return sys().attributes(p); }
  bool create_directory(OleStringView p) override { return sys().create_directory(p); }
  bool remove_file(OleStringView p) override { return sys().remove_file(p); }
  void clear_attributes(OleStringView p) override { sys().clear_attributes(p); }
  std::optional<std::string> read_all(OleStringView p) override { return sys().read_all(p); }
  static platform::Files& sys() { return platform::Files::system(); }
};

// The system's files, failing opens, writes or closes on demand.
struct FaultyFiles final : PassThroughFiles {
  Handle open_append(OleStringView path, std::int32_t* error) override;
  void write(Handle file, std::string_view bytes) override;
  void close(Handle file) override;

  // Only files whose path holds this text fail (every file when empty).
  std::string only_paths_with;
  int opens_to_fail = 0;  // this many opens fail before they succeed again
  // Whether writes fail, with `write_error` (61: the disk is full), and
  // whether closes report 57 (the file is closed all the same).
  bool fail_writes = false, fail_closes = false;
  std::int32_t write_error = 57;
  int open_files = 0;
  std::set<Handle> targeted_;  // the open files that fail
};

// The trace library's surroundings, as a test sets them: the roaming folder
// (nothing by default), events (one named in `existing_events` already
// exists; with `events_available` false none can be had), window titles.
struct FakeEnvironment final : platform::Environment {
  std::optional<OleString> roaming_app_data_folder() override { return roaming; }
  std::intptr_t create_event(OleStringView name, bool* already_existed) override;
  void signal_event(std::intptr_t event) override { signalled.push_back(event); }
  void close_event(std::intptr_t event) override { closed.push_back(event); }
  OleString window_text(std::intptr_t window, int max_chars) override;

  std::optional<OleString> roaming;
  std::set<OleString> existing_events;
  bool events_available = true;
  std::vector<OleString> created_events;  // handle n is created_events[n - 1]
  std::vector<std::intptr_t> signalled, closed;
  std::map<std::intptr_t, OleString> titles;
};

// One <error> record of the errors file, its fields in file order, values as
// written (already encoded); an empty value is written as an empty element.
struct ErrorRecord {
  // firstOccurrence: the harness's clock.
  std::string firstOccurrence = "02/01/2026 09:05:03", severity = "2", displayedToUser = "N",
              errorNumber{}, errorDescription{}, component = own_component(), module{}, member{},
              lineNumber = "0", count = "1";

  // The base name of this program's file, the component of its records.
  static std::string own_component();
};

// A whole record's bytes, from "    <error>" to "    </error>" CR LF.
std::string error_record(const ErrorRecord& record);
// The records of an errors file's text, each whole; a torn last one as it is.
std::vector<std::string> error_records_in(const std::string& file);

// Resets the apartment's trace values and replaces the clock, the debugger
// output, the screen and the message boxes for the life of the object; once
// init() has run the detail log is `folder/detail.log` and the folder is the
// log folder.
class TraceHarness {
 public:
  TraceHarness();
  // Runs init() at once; with `side_files` the folder is the side-file folder too.
  explicit TraceHarness(std::int32_t trace_level, bool side_files = false);
  ~TraceHarness();
  // The same as clsStringList::Init with the harness's paths.
  void init(std::int32_t trace_level = 2);
  // Makes the folder the side-file folder too (flag files, crash marker).
  void side_files_here();
  OleString detail_log() const { return folder.file("detail.log"); }
  OleString summary_log() const { return folder.file("summary.log"); }
  std::vector<std::string> detail_lines() const { return read_lines(detail_log()); }
  // The errors file of the detail log (in the log folder, which has no
  // "\Logs").
  OleString errors_file() const { return folder.file("detailErrors.log"); }
  // A file of the folder, through mask_lines ("PossibleErrors.log" and the like).
  std::string masked(const std::string& name) const {
    return mask_lines(read_file(folder.file(name)));
  }
  // A detail-log line as the writer writes it with the harness's clock:
  // "MM-DD-YY HH:MM:SS.mmm" TAB component TAB source ": " text CR LF.
  std::string stamped(std::string_view source, std::string_view text) const;
  // Whether the detail log holds that whole line.
  bool traced(std::string_view source, std::string_view text) const;
  // The same, with both sides through mask_lines.
  bool traced_masked(std::string_view source, std::string_view text) const;
  // Whether the detail log holds GlobalErrorsLog's line for that message
  // (compared through mask_lines).
  bool errors_logged(std::string_view source, std::string_view message, int severity = 2) const;
  // The errors file's records, each whole (as error_record gives them).
  std::vector<std::string> error_records() const;
  // How many boxes were shown whose text holds `text`.
  std::size_t shown(const std::string& text) const {
    return std::count_if(boxes.boxes.begin(), boxes.boxes.end(),
                         [&](auto& box) { return box.text.find(text) != std::string::npos; });
  }

  TempFolder folder;
  FixedClock clock;
  RecordingDebugOutput debug_output;
  CountingScreen screen;
  RecordingMessageBoxes boxes;
  platform::Clock::Override clock_override_;
  platform::DebugOutput::Override debug_override_;
  platform::Screen::Override screen_override_;
  platform::MessageBoxes::Override boxes_override_;
};

}  // namespace corvane::testing
