// Test support: a private folder with a detail log, replaceable platform
// services that record what reaches them, and a fixed clock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "automation/ole_types.h"
#include "platform/automation_objects.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/screen.h"

namespace corvane::testing {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }
  // The path of a file inside the folder, as automation text.
  OleString file(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// The number of the automation error a call raises, 0 when it raises none.
std::int32_t raised(const std::function<void()>& call);

OleString ole_path(const std::filesystem::path& p);
std::string read_bytes(const std::filesystem::path& p);
std::string read_file(OleStringView p);
// The file's lines, split at CR LF.
std::vector<std::string> read_lines(OleStringView p);

// The folder of this test program (where its helper programs and stand-in
// libraries are built).
std::filesystem::path program_folder();
// A helper program or stand-in library built beside this test program
// (".exe" is added on Windows when `name` has no extension).
std::filesystem::path helper_program(const std::string& name);

// How often `what` occurs in `text` (occurrences do not overlap).
std::size_t count_of(const std::string& text, const std::string& what);

// The text with the source line numbers of trap messages, which move with
// every edit of the product, masked: "line: 241" as "line: N", "At line 180"
// as "At line N".
std::string mask_lines(std::string text);

// Narrow text of ASCII automation text, for comparisons in failure messages.
std::string narrow(OleStringView text);
OleString wide(const std::string& ascii);

class RecordingDebugOutput final : public platform::DebugOutput {
 public:
  void write(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

class FixedClock final : public platform::Clock {
 public:
  // 1 February 2026, 09:05:03.007.
  platform::LocalTime now{2026, 2, 0, 1, 9, 5, 3, 7};
  platform::LocalTime local_time() override { return now; }
  std::string separator = ":";
  std::string time_separator() override { return separator; }
};

class CountingScreen final : public platform::Screen {
 public:
  void reset_mouse_pointer() override { ++resets; }
  int resets = 0;
};

// Message boxes that are recorded instead of shown, answered with `answer`;
// `on_show` runs while the box would be up.
class RecordingMessageBoxes final : public platform::MessageBoxes {
 public:
  struct Box {
    std::string text;
    std::string title;
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
class FakeDebugger final : public platform::AutomationObjects {
 public:
  std::intptr_t create(OleStringView prog_id) override {
    created = narrow(prog_id);
    return 42;
  }
  void call(std::intptr_t object, OleStringView method, const std::vector<OleString>& arguments,
            Passing passing) override;
  std::string created;
  std::vector<std::string> calls;
  std::string failing;
};

// Files that are the system's; a fake derives from it and overrides only
// what it changes.
class PassThroughFiles : public platform::Files {
 public:
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
class FaultyFiles final : public PassThroughFiles {
 public:
  platform::FileHandle open_append(OleStringView path, std::int32_t* error) override;
  void write(platform::FileHandle file, std::string_view bytes) override;
  void close(platform::FileHandle file) override;

  // Only files whose path holds this text fail (every file when empty).
  std::string only_paths_with;
  int opens_to_fail = 0;  // this many opens fail before they succeed again
  bool fail_writes = false;
  std::int32_t write_error = 57;  // 61: the disk is full
  bool fail_closes = false;       // the file is closed, and the close reports 57
  int open_attempts = 0;
  int open_files = 0;

 private:
  bool targeted(OleStringView path) const;
  std::vector<platform::FileHandle> targeted_handles_;
};

// The trace library's surroundings, as a test sets them: the roaming folder
// (nothing by default), events (one named in `existing_events` already
// exists; with `events_available` false none can be had), window titles.
class FakeEnvironment final : public platform::Environment {
 public:
  std::optional<OleString> roaming_app_data_folder() override { return roaming; }
  std::intptr_t create_event(OleStringView name, bool* already_existed) override;
  void signal_event(std::intptr_t event) override { signalled.push_back(event); }
  void close_event(std::intptr_t event) override { closed.push_back(event); }
  OleString window_text(std::intptr_t window, int max_chars) override;

  std::optional<OleString> roaming;
  std::set<OleString> existing_events;
  bool events_available = true;
  std::vector<OleString> created_events;  // handle n is created_events[n - 1]
  std::vector<std::intptr_t> signalled;
  std::vector<std::intptr_t> closed;
  std::map<std::intptr_t, OleString> titles;
};

// One <error> record of the errors file, its fields in file order, values as
// written (already encoded); an empty value is written as an empty element.
struct ErrorRecord {
  std::string firstOccurrence = "02/01/2026 09:05:03";  // the harness's clock
  std::string severity = "2";
  std::string displayedToUser = "N";
  std::string errorNumber{};
  std::string errorDescription{};
  std::string component = own_component();
  std::string module{};
  std::string member{};
  std::string lineNumber = "0";
  std::string count = "1";

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
  ~TraceHarness();
  // The same as clsStringList::Init with the harness's paths.
  void init(std::int32_t trace_level = 2);
  // Makes the folder the side-file folder too (flag files, crash marker).
  void side_files_here();
  OleString detail_log() const { return folder.file("detail.log"); }
  OleString summary_log() const { return folder.file("summary.log"); }
  std::vector<std::string> detail_lines() const { return read_lines(detail_log()); }
  // The errors file of the detail log (in the log folder, which has no
  // "\Logs"): as the trace names it, and as this system can open it.
  OleString errors_file_as_logged() const {
    return ole_path(folder.path()) + OLESTR("\\detailErrors.log");
  }
  OleString errors_file() const { return folder.file("detailErrors.log"); }
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
    std::size_t n = 0;
    for (const auto& box : boxes.boxes) n += box.text.find(text) != std::string::npos ? 1 : 0;
    return n;
  }

  TempFolder folder;
  FixedClock clock;
  RecordingDebugOutput debug_output;
  CountingScreen screen;
  RecordingMessageBoxes boxes;

 private:
  static bool holds_line(const std::string& log, const std::string& line);
  platform::Clock::Override clock_override_;
  platform::DebugOutput::Override debug_override_;
  platform::Screen::Override screen_override_;
  platform::MessageBoxes::Override boxes_override_;
};

}  // namespace corvane::testing
