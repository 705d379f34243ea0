// The trace writer's two paths: a line the trace level drops must cost
// nothing but the level check; a written line is measured against a bare
// loop that opens the file for appending, writes the same bytes and closes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_support.h"
#include "string_list/clsStringList.h"
#include "trace/trace_log.h"

namespace {

using namespace corvane;

constexpr OleStringView kSource = OLESTR("clsStringList.lfnMatch");
constexpr OleStringView kMessage = OLESTR("lMid: 499999. Comparing: Quillon entry 4711. rc = 1");

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Init with a fresh detail log in the scratch folder at trace level 2.
std::filesystem::path init_trace(clsStringList& list, const char* name) {
  const std::filesystem::path log = scratch_folder() / name;
  std::filesystem::remove(log);
  list.Init(OleString(log.u16string()), OLESTR(""), OLESTR(""), 2);
  return log;
}

void BM_GlobalTrace_dropped(benchmark::State& state) {
  clsStringList list;
  const auto log = init_trace(list, "dropped.log");
  const long allocations = allocation_count();
  for (auto _ : state) {
    modVBTrace::GlobalTrace(kSource, kMessage, 4, true, false, 1, false);
  }
  const long allocated = allocation_count() - allocations;
  state.counters["allocs/call"] = static_cast<double>(allocated) / state.iterations();
  state.counters["syscalls"] = static_cast<double>(system_calls_of([] {
    for (int i = 0; i < 100000; ++i)
      modVBTrace::GlobalTrace(kSource, kMessage, 4, true, false, 1, false);
  }));
  if (std::filesystem::exists(log)) state.SkipWithError("a dropped line reached the file");
}

void BM_GlobalTrace_written(benchmark::State& state) {
  clsStringList list;
  const auto log = init_trace(list, "written.log");
  for (auto _ : state) {
    modVBTrace::GlobalTrace(kSource, kMessage, 2, true, false, 1, false);
  }
  std::filesystem::remove(log);
}

// The line GlobalTrace writes, as bytes on disk.
std::string written_line() {
  clsStringList list;
  const auto log = init_trace(list, "one-line.log");
  modVBTrace::GlobalTrace(kSource, kMessage, 2, true, false, 1, false);
  std::string bytes = read_all(log);
  std::filesystem::remove(log);
  return bytes;
}

void BM_open_write_close(benchmark::State& state) {
  const std::string bytes = written_line();
  const std::string path = (scratch_folder() / "bare.log").string();
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      state.SkipWithError("cannot write the scratch file");
      break;
    }
    ::close(fd);
  }
  std::filesystem::remove(path);
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(BM_GlobalTrace_dropped)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_GlobalTrace_written)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_open_write_close)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

const std::filesystem::path& scratch_folder() {
  static const std::filesystem::path folder = [] {
    const char* chosen = std::getenv("CORVANE_BENCH_DIR");
    std::filesystem::path f = chosen != nullptr && *chosen != '\0'
                                  ? std::filesystem::path(chosen)
                                  : std::filesystem::temp_directory_path() / "corvane-bench";
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}
