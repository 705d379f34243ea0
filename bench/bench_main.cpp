// Runs every benchmark, then prints each measured ratio next to its target.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

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

namespace {

struct Comparison {
  const char* label;
  const char* measured;   // benchmark name with its argument
  const char* reference;  // the same for what it is measured against
  double target;          // highest acceptable ratio
};

constexpr Comparison kComparisons[] = {
    {"lfnMatch vs lower_bound, 1e3", "BM_lfnMatch/1000", "BM_lower_bound/1000", 1.5},
    {"lfnMatch vs lower_bound, 1e6", "BM_lfnMatch/1000000", "BM_lower_bound/1000000", 1.5},
    {"AssignStringList 1e6 vs 10", "BM_AssignStringList/1000000", "BM_AssignStringList/10", 1.5},
    {"put StringList 1e6 vs assign 1e6", "BM_PutStringList/1000000", "BM_AssignStringList/1000000",
     0},
};

// Collects the medians so that the ratios can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string name = r.run_name.function_name + "/" + r.run_name.args;
      if (r.aggregate_name == "median" || (r.aggregate_name.empty() && !medians_.count(name))) {
        // In nanoseconds, whatever unit the benchmark reports in.
        medians_[name] =
            r.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-34s %14s %14s %8s %7s\n", "comparison", "measured ns", "reference ns", "ratio",
                "target");
    for (const Comparison& c : kComparisons) {
      const auto m = medians_.find(c.measured);
      const auto r = medians_.find(c.reference);
      if (m == medians_.end() || r == medians_.end() || r->second == 0) continue;
      const double ratio = m->second / r->second;
      if (c.target > 0) {
        std::printf("%-34s %14.1f %14.1f %8.2f %7.2f %s\n", c.label, m->second, r->second, ratio,
                    c.target, ratio <= c.target ? "pass" : "falls short");
      } else {
        std::printf("%-34s %14.1f %14.1f %8.0f %7s\n", c.label, m->second, r->second, ratio, "-");
      }
    }
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
