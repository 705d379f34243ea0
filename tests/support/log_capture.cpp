#include "support/log_capture.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "automation/error.h"
#include "automation/vb_text.h"
#include "platform/module_info.h"
#include "trace/locations.h"
#include "trace/module_values.h"

namespace corvane::testing {

AutomationError error_raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return e;
  }
  return AutomationError(0, OleString());
}

std::int32_t raised(const std::function<void()>& call) {
  return error_raised(call).number();
}

OleString ole_path(const fs::path& p) {
  return p.string<OLECHAR>();
}

// The path automation text names.
static fs::path native(OleStringView p) {
  return fs::path(OleString(p));
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

void TempFolder::put(const std::string& name, const std::string& content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

std::string read_bytes(const fs::path& p) {
  std::ostringstream out;
  out << std::ifstream(p, std::ios::binary).rdbuf();
  return out.str();
}

std::string read_file(OleStringView p) {
  return read_bytes(native(p));
}

std::vector<std::string> read_lines(OleStringView p) {
  const std::string text = read_file(p);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2)
    lines.push_back(text.substr(start, crlf - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string narrow(OleStringView text) {
  return to_utf8(text);
}

OleString wide(const std::string& ascii) {
  return from_utf8(ascii);
}

platform::FileHandle FaultyFiles::open_append(OleStringView path, std::int32_t* error) {
  const bool target = narrow(path).find(only_paths_with) != std::string::npos;
  if (target && opens_to_fail > 0) {
    --opens_to_fail;
    *error = vb_error::kPermissionDenied;
    return platform::kNoFile;
  }
  const Handle h = sys().open_append(path, error);
  if (h != platform::kNoFile) ++open_files;
  if (h != platform::kNoFile && target) targeted_.insert(h);
  return h;
}

void FaultyFiles::write(Handle file, std::string_view bytes) {
  if (fail_writes && targeted_.count(file)) throw AutomationError(write_error);
  sys().write(file, bytes);
}

void FaultyFiles::close(Handle file) {
  --open_files;
  sys().close(file);
  if (targeted_.erase(file) && fail_closes) throw AutomationError(vb_error::kDeviceIoError);
}

fs::path helper_program(const std::string& name) {
  const fs::path folder = native(platform::ModuleInfo::system().own_file_path()).parent_path();
#ifdef _WIN32
  if (fs::path(name).extension().empty()) return folder / (name + ".exe");
#endif
  return folder / name;
}

std::intptr_t FakeEnvironment::create_event(OleStringView name, bool* already_existed) {
  *already_existed = events_available && existing_events.count(OleString(name)) != 0;
  if (!events_available) return 0;
  created_events.emplace_back(name);
  return static_cast<std::intptr_t>(created_events.size());
}

OleString FakeEnvironment::window_text(std::intptr_t window, int max_chars) {
  const auto it = titles.find(window);
  return it == titles.end() || max_chars < 1 ? OleString() : it->second.substr(0, max_chars - 1);
}

std::string ErrorRecord::own_component() {
  return narrow(platform::file_base_name(platform::ModuleInfo::current().own_file_path()));
}

std::string error_record(const ErrorRecord& r) {
  // clang-format off
  const char* const names[] = {"firstOccurrence", "severity", "displayedToUser", "errorNumber",
      "errorDescription", "component", "module", "member", "lineNumber", "count"};
  const std::string* const values[] = {&r.firstOccurrence, &r.severity, &r.displayedToUser,
      &r.errorNumber, &r.errorDescription, &r.component, &r.module, &r.member, &r.lineNumber, &r.count};
  // clang-format on
  std::string text = "    <error>\r\n";
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const std::string n = names[i], v = *values[i];
    text += "        <" + n + (v.empty() ? "/>" : ">" + v + "</" + n + ">") + "\r\n";
  }
  return text + "    </error>\r\n";
}

std::vector<std::string> error_records_in(const std::string& file) {
  const std::string start = "    <error>\r\n", end = "    </error>\r\n";
  std::vector<std::string> records;
  for (std::size_t at = 0; (at = file.find(start, at)) != std::string::npos;) {
    const std::size_t stop = file.find(end, at);
    // a torn record stays visible as such
    records.push_back(file.substr(at, stop == std::string::npos ? stop : stop + end.size() - at));
    at = stop == std::string::npos ? stop : stop + end.size();
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

TraceHarness::TraceHarness(std::int32_t trace_level, bool side_files) : TraceHarness() {
  init(trace_level);
  if (side_files) side_files_here();
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

void TraceHarness::side_files_here() {
  modVBTrace::module_values().app_path = ole_path(folder.path());
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
  static const std::regex line_number("(line: |At line )[0-9]+");
  return std::regex_replace(text, line_number, "$1N");
}

std::string trap_message(int number, const std::string& description, const std::string& member) {
  return "Error " + std::to_string(number) + ": " + description + "\r\nin Corvane." + member +
         ".\r\nThe error occured at line: N";
}

// Whether `log` holds `line` whole: at its start or after the previous line's end.
static bool holds_line(const std::string& log, const std::string& line) {
  return ("\n" + log).find("\n" + line) != std::string::npos;
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

std::vector<std::string> TraceHarness::error_records() const {
  return error_records_in(read_file(errors_file()));
}

}  // namespace corvane::testing
