#include "support/log_capture.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/module_info.h"
#include "trace/locations.h"
#include "trace/module_values.h"

namespace corvane::testing {

namespace fs = std::filesystem;

std::int32_t raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

OleString ole_path(const fs::path& p) {
#ifdef _WIN32
  return p.wstring();
#else
  return from_utf8(p.string());
#endif
}

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() /
          ("corvane-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

OleString TempFolder::file(const std::string& name) const {
  return ole_path(path_ / name);
}

std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string read_file(OleStringView p) {
#ifdef _WIN32
  return read_bytes(fs::path(std::wstring(p)));
#else
  return read_bytes(fs::path(to_utf8(p)));
#endif
}

std::vector<std::string> read_lines(OleStringView p) {
  const std::string text = read_file(p);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2) {
    lines.push_back(text.substr(start, crlf - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string narrow(OleStringView text) {
  return to_utf8(text);
}

OleString wide(const std::string& ascii) {
  return from_utf8(ascii);
}

bool FaultyFiles::targeted(OleStringView path) const {
  return narrow(path).find(only_paths_with) != std::string::npos;
}

platform::FileHandle FaultyFiles::open_append(OleStringView path, std::int32_t* error) {
  const bool target = targeted(path);
  if (target) ++open_attempts;
  if (target && opens_to_fail > 0) {
    --opens_to_fail;
    *error = vb_error::kPermissionDenied;
    return platform::kNoFile;
  }
  platform::FileHandle h = platform::Files::system().open_append(path, error);
  if (h == platform::kNoFile) return h;
  ++open_files;
  if (target) targeted_handles_.push_back(h);
  return h;
}

void FaultyFiles::write(platform::FileHandle file, std::string_view bytes) {
  const bool target = std::find(targeted_handles_.begin(), targeted_handles_.end(), file) !=
                      targeted_handles_.end();
  if (fail_writes && target) throw AutomationError(write_error);
  platform::Files::system().write(file, bytes);
}

void FaultyFiles::close(platform::FileHandle file) {
  --open_files;
  platform::Files::system().close(file);
  const auto it = std::find(targeted_handles_.begin(), targeted_handles_.end(), file);
  if (it == targeted_handles_.end()) return;
  targeted_handles_.erase(it);
  if (fail_closes) throw AutomationError(vb_error::kDeviceIoError);
}

std::filesystem::path program_folder() {
  const OleString own = platform::ModuleInfo::system().own_file_path();
#ifdef _WIN32
  return std::filesystem::path(std::wstring(own.begin(), own.end())).parent_path();
#else
  return std::filesystem::path(narrow(own)).parent_path();
#endif
}

fs::path helper_program(const std::string& name) {
#ifdef _WIN32
  if (fs::path(name).extension().empty()) return program_folder() / (name + ".exe");
#endif
  return program_folder() / name;
}

std::intptr_t FakeEnvironment::create_event(OleStringView name, bool* already_existed) {
  *already_existed = false;
  if (!events_available) return 0;
  *already_existed = existing_events.count(OleString(name)) != 0;
  created_events.emplace_back(name);
  return static_cast<std::intptr_t>(created_events.size());
}

OleString FakeEnvironment::window_text(std::intptr_t window, int max_chars) {
  const auto it = titles.find(window);
  if (it == titles.end() || max_chars < 1) return OleString();
  return it->second.substr(0, static_cast<std::size_t>(max_chars - 1));
}

std::string ErrorRecord::own_component() {
  return narrow(platform::file_base_name(platform::ModuleInfo::current().own_file_path()));
}

std::string error_record(const ErrorRecord& r) {
  const char* const names[] = {"firstOccurrence",  "severity",  "displayedToUser", "errorNumber",
                               "errorDescription", "component", "module",          "member",
                               "lineNumber",       "count"};
  const std::string* const values[] = {
      &r.firstOccurrence, &r.severity, &r.displayedToUser, &r.errorNumber, &r.errorDescription,
      &r.component,       &r.module,   &r.member,          &r.lineNumber,  &r.count};
  std::string text = "    <error>\r\n";
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const std::string name = names[i], value = *values[i];
    text += "        <" + name + (value.empty() ? "/>" : ">" + value + "</" + name + ">") + "\r\n";
  }
  return text + "    </error>\r\n";
}

std::vector<std::string> error_records_in(const std::string& file) {
  const std::string start = "    <error>\r\n";
  const std::string end = "    </error>\r\n";
  std::vector<std::string> records;
  for (std::size_t at = 0; (at = file.find(start, at)) != std::string::npos;) {
    const std::size_t stop = file.find(end, at);
    if (stop == std::string::npos) {
      records.push_back(file.substr(at));  // a torn record stays visible as such
      break;
    }
    records.push_back(file.substr(at, stop + end.size() - at));
    at = stop + end.size();
  }
  return records;
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) ++n;
  return n;
}

void FakeDebugger::call(std::intptr_t object, OleStringView method,
                        const std::vector<OleString>& arguments, Passing passing) {
  std::string line = std::to_string(object) + " " + narrow(method);
  for (const auto& a : arguments)
    line += (passing == Passing::kByReference ? " &" : " ") + narrow(a);
  calls.push_back(line);
  if (narrow(method) == failing) throw AutomationError(91);
}

// No test of this program may put a real box on a screen and wait for a user:
// boxes outside a harness are recorded here and answered OK.
RecordingMessageBoxes unattended_boxes;
const platform::MessageBoxes::Override unattended_override(unattended_boxes);

TraceHarness::TraceHarness()
    : clock_override_(clock),
      debug_override_(debug_output),
      screen_override_(screen),
      boxes_override_(boxes) {
  modVBTrace::module_values() = modVBTrace::ModuleValues{};
}

TraceHarness::~TraceHarness() {
  modVBTrace::module_values() = modVBTrace::ModuleValues{};
}

void TraceHarness::init(std::int32_t trace_level) {
  auto& values = modVBTrace::module_values();
  values.process_name = OleString(OLESTR("Corvane"));
  values.detail_log_path = detail_log();
  values.summary_log_path = summary_log();
  values.log_folder = ole_path(folder.path());
  values.trace_level = trace_level;
}

std::string TraceHarness::stamped(std::string_view source, std::string_view text) const {
  const platform::LocalTime& t = clock.now;
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02u-%02u-%02u %02u:%02u:%02u.%03u", unsigned{t.month},
                unsigned{t.day}, t.year % 100u, unsigned{t.hour}, unsigned{t.minute},
                unsigned{t.second}, t.milliseconds % 1000u);
  return stamp + ("\t" + narrow(modVBTrace::sfnProcessName())) + "\t" + std::string(source) + ": " +
         std::string(text) + "\r\n";
}

std::string mask_lines(std::string text) {
  for (const std::string marker : {"line: ", "At line "}) {
    for (std::size_t at = 0; (at = text.find(marker, at)) != std::string::npos;) {
      at += marker.size();
      std::size_t end = at;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
      if (end > at) text.replace(at, end - at, "N");
    }
  }
  return text;
}

bool TraceHarness::traced(std::string_view source, std::string_view text) const {
  return holds_line(read_file(detail_log()), stamped(source, text));
}

bool TraceHarness::traced_masked(std::string_view source, std::string_view text) const {
  return holds_line(mask_lines(read_file(detail_log())), mask_lines(stamped(source, text)));
}

bool TraceHarness::errors_logged(std::string_view source, std::string_view message,
                                 int severity) const {
  return traced_masked("modVBTrace.GlobalErrorsLog", "GlobalErrorsLog >>> " + std::string(source) +
                                                         "\t" + std::string(message) +
                                                         "\tSeverity: " + std::to_string(severity));
}

bool TraceHarness::holds_line(const std::string& log, const std::string& line) {
  // A whole line: at the start of the file or after the previous line's end.
  for (std::size_t at = 0; (at = log.find(line, at)) != std::string::npos; ++at) {
    if (at == 0 || log[at - 1] == '\n') return true;
  }
  return false;
}

std::vector<std::string> TraceHarness::error_records() const {
  return error_records_in(read_file(errors_file()));
}

void TraceHarness::side_files_here() {
  modVBTrace::module_values().app_path = ole_path(folder.path());
}

}  // namespace corvane::testing
