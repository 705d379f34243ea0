// Runs every benchmark, then prints each measured ratio next to its target.
// With --out=DIR it also writes DIR/native-results.csv (the table) and
// DIR/native-timings.csv (time per call of every sized benchmark, for the
// plot); tools/bench.sh merges them with the COM client's.
#include <benchmark/benchmark.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"

// Every heap allocation of the process goes through malloc; count them.
namespace {
std::atomic<long> g_allocations{0};
}
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, n);
}

long allocation_count() {
  return g_allocations.load(std::memory_order_relaxed);
}

// The child's count of trapped system calls: only a signal-safe counter.
namespace {
volatile sig_atomic_t g_trapped_calls = 0;

void count_trapped_call(int, siginfo_t*, void* context) {
  if (g_trapped_calls < 200) g_trapped_calls = g_trapped_calls + 1;
  // The call did not run; it fails as a call the kernel does not know.
  static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
}

// In the child: every system call but the return from the signal handler and
// the exit becomes a SIGSYS that is counted. False when the kernel refuses
// the filter.
bool trap_every_system_call() {
  struct sigaction action {};
  action.sa_sigaction = count_trapped_call;
  action.sa_flags = SA_SIGINFO;
  if (::sigaction(SIGSYS, &action, nullptr) != 0) return false;
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rt_sigreturn, 3, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit_group, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
}  // namespace

long system_calls_of(const std::function<void()>& work) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (!trap_every_system_call()) ::_exit(255);
    work();
    ::_exit(g_trapped_calls);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

namespace {

enum class Kind {
  kRatio,            // measured time / reference time at most `limit`
  kTimeBelow,        // measured time under `limit` nanoseconds
  kCounterAtMost,    // the measured benchmark's `counter` at most `limit`
  kCounterReported,  // the measured benchmark's `counter`, shown without a target
  kReported          // measured time / reference time, shown without a target
};

struct Check {
  const char* operation;
  const char* size;
  Kind kind;
  const char* measured;   // benchmark name with its argument
  const char* reference;  // kRatio: what it is measured against; else the counter
  double limit;
};

constexpr Check kChecks[] = {
    {"lfnMatch text (level 2) / lower_bound", "1000", Kind::kRatio, "BM_lfnMatch/1000",
     "BM_lower_bound/1000", 1.0},
    {"lfnMatch text (level 2) / lower_bound", "100000", Kind::kRatio, "BM_lfnMatch/100000",
     "BM_lower_bound/100000", 1.0},
    {"lfnMatch text (level 2) / lower_bound", "1000000", Kind::kRatio, "BM_lfnMatch/1000000",
     "BM_lower_bound/1000000", 1.0},
    {"lfnMatch text: search aids / list text (bytes)", "1000", Kind::kCounterAtMost,
     "BM_lfnMatch/1000", "aids/text", 3},
    {"lfnMatch text: search aids / list text (bytes)", "1000000", Kind::kCounterAtMost,
     "BM_lfnMatch/1000000", "aids/text", 3},
    {"lfnMatch text: first lookup of each entry", "1000", Kind::kCounterReported,
     "BM_lfnMatch/1000", "first lookup ns", 0},
    {"lfnMatch text: first lookup of each entry", "1000000", Kind::kCounterReported,
     "BM_lfnMatch/1000000", "first lookup ns", 0},
    {"lfnMatch text: heap allocations per call", "1000", Kind::kCounterAtMost, "BM_lfnMatch/1000",
     "allocs/call", 2},
    {"lfnMatch text: heap allocations per call", "100000", Kind::kCounterAtMost,
     "BM_lfnMatch/100000", "allocs/call", 2},
    {"lfnMatch text: heap allocations per call", "1000000", Kind::kCounterAtMost,
     "BM_lfnMatch/1000000", "allocs/call", 2},
    {"lfnMatch text 200-256 chars: allocations/call", "10000", Kind::kCounterAtMost,
     "BM_lfnMatch_long_entries/10000", "allocs/call", 2},
    {"lfnMatch as long: heap allocations per call", "100000", Kind::kCounterAtMost,
     "BM_lfnMatch_as_long/100000", "allocs/call", 0},
    {"lfnMatchingPrefixLocation / lfnMatch", "1000", Kind::kRatio,
     "BM_lfnMatchingPrefixLocation/1000", "BM_lfnMatch/1000", 1.5},
    {"lfnMatchingPrefixLocation / lfnMatch", "100000", Kind::kRatio,
     "BM_lfnMatchingPrefixLocation/100000", "BM_lfnMatch/100000", 1.5},
    {"lfnMatchingPrefixLocation / lfnMatch", "1000000", Kind::kRatio,
     "BM_lfnMatchingPrefixLocation/1000000", "BM_lfnMatch/1000000", 1.5},
    {"GlobalTrace line dropped: time", "-", Kind::kTimeBelow, "BM_GlobalTrace_dropped", "", 50},
    {"GlobalTrace line dropped: allocations/call", "-", Kind::kCounterAtMost,
     "BM_GlobalTrace_dropped", "allocs/call", 0},
    {"GlobalTrace line dropped: system calls", "100000", Kind::kCounterAtMost,
     "BM_GlobalTrace_dropped", "syscalls", 0},
    {"GlobalTrace line written / open+write+close", "-", Kind::kRatio, "BM_GlobalTrace_written",
     "BM_open_write_close", 1.3},
    {"StringList put / SysAllocStringLen loop", "1000000", Kind::kRatio, "BM_PutStringList/1000000",
     "BM_SysAllocStringLen_copies/1000000", 2},
    {"StringList put + first text search / put", "1000000", Kind::kReported,
     "BM_PutThenFirstSearch/1000000", "BM_PutStringList/1000000", 0},
    {"StringList get / SysAllocStringLen loop", "1000000", Kind::kRatio, "BM_GetStringList/1000000",
     "BM_SysAllocStringLen_copies/1000000", 2},
    {"AssignStringList 1e6 entries / 10 entries", "1000000", Kind::kRatio,
     "BM_AssignStringList/1000000", "BM_AssignStringList/10", 1.5},
};

// Names of the plot's series.
const std::map<std::string, std::string> kSeries = {
    {"BM_lfnMatch", "lfnMatch text"},
    {"BM_lower_bound", "std::lower_bound (lowercased)"},
    {"BM_lfnMatchingPrefixLocation", "lfnMatchingPrefixLocation"},
    {"BM_lfnMatch_as_long", "lfnMatch as long"},
    {"BM_PutStringList", "StringList put"},
    {"BM_GetStringList", "StringList get"},
    {"BM_SysAllocStringLen_copies", "SysAllocStringLen loop"},
    {"BM_AssignStringList", "AssignStringList"},
};

struct Measurement {
  double ns = 0;  // median time per call
  std::map<std::string, double> counters;
};

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Collects the medians so that the checks can be made after the run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::optional<std::string> out) : out_(std::move(out)) {}

  // Whether a check failed or could not be made (a target that is merely
  // missed is no failure).
  bool failures() const { return failures_; }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string& args = r.run_name.args;
      const std::string name = r.run_name.function_name + (args.empty() ? "" : "/" + args);
      // A benchmark that found a wrong result in any repetition fails its
      // checks, whatever the other repetitions measured.
      if (r.error_occurred) failed_[name] = r.error_message;
      if (r.aggregate_name == "median" || (r.aggregate_name.empty() && !medians_.count(name))) {
        Measurement& m = medians_[name];
        // CPU time of the benchmark's thread, in nanoseconds whatever unit
        // the benchmark reports in: on a shared machine the wall clock also
        // counts the time other processes had the processor.
        m.ns = r.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
        for (const auto& [counter, value] : r.counters) m.counters[counter] = value.value;
        sizes_[name] = args;
        series_[name] = r.run_name.function_name;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::vector<std::vector<std::string>> rows;
    for (const Check& c : kChecks) {
      if (auto row = evaluate(c)) {
        if (row->back().rfind("failed", 0) == 0 || row->back() == "not measured") failures_ = true;
        rows.push_back(*row);
      }
    }
    std::printf("\n%-46s %8s %12s %14s %7s %9s %s\n", "operation", "size", "per call", "reference",
                "ratio", "target", "verdict");
    for (const auto& r : rows) {
      std::printf("%-46s %8s %12s %14s %7s %9s %s\n", r[0].c_str(), r[1].c_str(),
                  (r[2] + " " + r[3]).c_str(), r[5].empty() ? "-" : (r[5] + " " + r[3]).c_str(),
                  r[6].empty() ? "-" : r[6].c_str(), r[7].c_str(), r[8].c_str());
    }
    if (out_) write_files(rows);
  }

 private:
  // operation, size, per call, unit, reference, reference per call, ratio,
  // target, verdict; nothing when a benchmark of the check was not asked for
  // (a filtered run), "failed: ..." when one found a wrong result, "not
  // measured" when its figure is missing.
  std::optional<std::vector<std::string>> evaluate(const Check& c) const {
    const bool ratio_check = c.kind == Kind::kRatio || c.kind == Kind::kReported;
    auto failed = failed_.find(c.measured);
    if (failed == failed_.end() && ratio_check) failed = failed_.find(c.reference);
    if (failed != failed_.end()) return unmeasured(c, "failed: " + failed->second);
    const auto m = medians_.find(c.measured);
    if (m == medians_.end()) return std::nullopt;
    switch (c.kind) {
      case Kind::kRatio:
      case Kind::kReported: {
        const auto r = medians_.find(c.reference);
        if (r == medians_.end()) return std::nullopt;
        if (r->second.ns <= 0) return unmeasured(c, "not measured");
        const double ratio = m->second.ns / r->second.ns;
        const bool reported = c.kind == Kind::kReported;
        return std::vector<std::string>{
            c.operation,
            c.size,
            fixed(m->second.ns, 1),
            "ns",
            c.reference,
            fixed(r->second.ns, 1),
            fixed(ratio, 2),
            reported ? "-" : "<= " + fixed(c.limit, 1) + "x",
            reported ? "reported" : (ratio <= c.limit ? "pass" : "falls short")};
      }
      case Kind::kTimeBelow:
        return std::vector<std::string>{c.operation,
                                        c.size,
                                        fixed(m->second.ns, 1),
                                        "ns",
                                        "",
                                        "",
                                        "",
                                        "< " + fixed(c.limit, 0) + " ns",
                                        m->second.ns < c.limit ? "pass" : "falls short"};
      case Kind::kCounterAtMost:
      case Kind::kCounterReported: {
        const auto counter = m->second.counters.find(c.reference);
        if (counter == m->second.counters.end() || counter->second < 0)
          return unmeasured(c, "not measured");
        const bool reported = c.kind == Kind::kCounterReported;
        return std::vector<std::string>{
            c.operation,
            c.size,
            fixed(counter->second, 2),
            counter->first,
            "",
            "",
            "",
            reported ? "-" : "<= " + fixed(c.limit, 0),
            reported ? "reported" : (counter->second <= c.limit ? "pass" : "falls short")};
      }
    }
    return std::nullopt;
  }

  static std::vector<std::string> unmeasured(const Check& c, const std::string& verdict) {
    return {c.operation, c.size, "-", "", "", "", "", "-", verdict};
  }

  void write_files(const std::vector<std::vector<std::string>>& rows) const {
    std::ofstream results(*out_ + "/native-results.csv");
    results << "operation,size,per_call,unit,reference,reference_per_call,ratio,target,verdict\n";
    for (const auto& r : rows) {
      for (std::size_t i = 0; i < r.size(); ++i) results << (i ? "," : "") << r[i];
      results << "\n";
    }
    std::ofstream timings(*out_ + "/native-timings.csv");
    timings << "series,size,ns_per_call\n";
    for (const auto& [name, m] : medians_) {
      const auto series = kSeries.find(series_.at(name));
      if (series == kSeries.end() || sizes_.at(name).empty()) continue;
      timings << "native: " << series->second << "," << sizes_.at(name) << "," << fixed(m.ns, 1)
              << "\n";
    }
  }

  std::optional<std::string> out_;
  std::map<std::string, std::string> failed_;
  std::map<std::string, Measurement> medians_;
  std::map<std::string, std::string> sizes_;
  std::map<std::string, std::string> series_;
  bool failures_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // --out=DIR is ours; everything else is Google Benchmark's. The
  // repetitions of all benchmarks take turns in random order unless asked
  // otherwise, so that a busy moment of the machine does not fall on one
  // side of a ratio only.
  std::optional<std::string> out;
  std::vector<char*> args{argv[0]};
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.push_back(interleave);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--out=", 6) == 0) {
      out = argv[i] + 6;
    } else {
      args.push_back(argv[i]);
    }
  }
  argc = static_cast<int>(args.size());
  argv = args.data();
  // Trace lines must cost what they cost in a client without a debugger.
  ::unsetenv("CORVANE_DEBUG_OUTPUT");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(out);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.failures() ? 1 : 0;
}
