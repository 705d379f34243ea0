#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus in
# fuzz/corpus/<target>/ (new inputs go to a scratch folder, not the checkout).
# The targets are built into build/sanitize (tools/sanitize.sh asan builds
# them too), with AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh [seconds per target, default 45] [target]...
#
# A crash or a failed check leaves its input under build/sanitize/fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh clang-16 libclang-rt-16-dev
seconds="${1:-45}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=($(sed -n 's/^foreach(target \(.*\))$/\1/p' fuzz/CMakeLists.txt))

if [ ! -f build/sanitize/build.ninja ]; then
  tools/sanitize.sh asan >/dev/null  # configures and builds the sanitizer tree
fi
cmake --build build/sanitize -j "${CORVANE_JOBS:-2}" --target $(printf '%s_fuzz ' "${targets[@]}")

findings=build/sanitize/fuzz-findings
mkdir -p "$findings"
status=0
for target in "${targets[@]}"; do
  scratch=$(mktemp -d)
  log="$findings/$target.log"
  echo "== fuzz: $target for ${seconds}s"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
     "build/sanitize/bin/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
       -max_len=4096 -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$findings/$target-" \
       "$scratch" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "   ${runs:-?} inputs, no failure"
  else
    echo "   FAILED: see $log"; tail -30 "$log"
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
