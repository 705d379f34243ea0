// Test support: a private folder with a detail log, replaceable platform
// services that record what reaches them, and a fixed clock.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "automation/ole_types.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/files.h"
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

OleString ole_path(const std::filesystem::path& p);
std::string read_bytes(const std::filesystem::path& p);
std::string read_file(OleStringView p);
// The file's lines, split at CR LF.
std::vector<std::string> read_lines(OleStringView p);

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
};

class CountingScreen final : public platform::Screen {
 public:
  void reset_mouse_pointer() override { ++resets; }
  int resets = 0;
};

// Files that pass through to the system's, failing opens, writes or closes
// on demand.
class FaultyFiles final : public platform::Files {
 public:
  platform::FileHandle open_append(OleStringView path, std::int32_t* error) override;
  void write(platform::FileHandle file, std::string_view bytes) override;
  void close(platform::FileHandle file) override;
  bool exists(OleStringView path, bool directories) override {
    return platform::Files::system().exists(path, directories);
  }
  bool create_directory(OleStringView path) override {
    return platform::Files::system().create_directory(path);
  }
  std::optional<std::string> read_all(OleStringView path) override {
    return platform::Files::system().read_all(path);
  }
  void clear_attributes(OleStringView path) override {
    platform::Files::system().clear_attributes(path);
  }

  int opens_to_fail = 0;  // this many opens fail before they succeed again
  bool fail_writes = false;
  int open_attempts = 0;
  int open_files = 0;
};

// Resets the apartment's trace values and replaces the clock, the debugger
// output and the screen for the life of the object; the detail log is
// `folder/detail.log` once init() has run.
class TraceHarness {
 public:
  TraceHarness();
  ~TraceHarness();
  // The same as clsStringList::Init with the harness's paths.
  void init(std::int32_t trace_level = 2);
  OleString detail_log() const { return folder.file("detail.log"); }
  OleString summary_log() const { return folder.file("summary.log"); }
  std::vector<std::string> detail_lines() const { return read_lines(detail_log()); }

  TempFolder folder;
  FixedClock clock;
  RecordingDebugOutput debug_output;
  CountingScreen screen;

 private:
  platform::Clock::Override clock_override_;
  platform::DebugOutput::Override debug_override_;
  platform::Screen::Override screen_override_;
};

}  // namespace corvane::testing
