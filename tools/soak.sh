#!/usr/bin/env bash
# The long runs, for a quiet machine (about 1 h 30 min on two cores): the
# hostile COM client's full count under wine64 (100,000 calls per member,
# 30 to 40 minutes), and under wine32 where the machine runs 32-bit programs
# (CORVANE_SOAK_WIN32_CALLS per member, 20,000 by default); the sort keys
# against the comparison on 100 million pairs, natively and under wine64;
# the native tests under valgrind memcheck; every fuzz target for
# CORVANE_SOAK_FUZZ_SECONDS (300 by default). Prints "N passed, N failed" and exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
export CORVANE_WERROR=ON
passed=0
failed=0
check() {
  echo "== $1"
  shift
  local started=$SECONDS
  if "$@"; then passed=$((passed + 1)); else echo "== FAILED"; failed=$((failed + 1)); fi
  echo "   $((SECONDS - started)) s"
}
# The full count runs in a build of its own, whose test may take two hours.
hostile() {
  local preset=$1 calls=$2 dir=build/soak-$1
  cmake --preset "$preset" -B "$dir" -DCORVANE_HOSTILE_TIMEOUT=7200 >/dev/null
  cmake --build "$dir"
  CORVANE_HOSTILE_CALLS=$calls ctest --test-dir "$dir" -R '^com_hostile_client$' --output-on-failure
}

check "win64: hostile COM client, 100000 calls per member" hostile win64 100000
if tools/can-run-32bit.sh >/dev/null; then
  check "win32: hostile COM client, ${CORVANE_SOAK_WIN32_CALLS:-20000} calls per member" \
    hostile win32 "${CORVANE_SOAK_WIN32_CALLS:-20000}"
else
  echo "win32: soak skipped: this machine cannot run 32-bit programs"
fi
# Sort keys against the comparison on 100 million pairs, natively and under wine64.
sort_keys() {
  local preset=$1
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" --target corvane_tests
  if [ "$preset" = native ]; then
    CORVANE_SORT_KEY_PAIRS=1e8 build/native/bin/corvane_tests --gtest_filter='SortKeys.*'
  else
    CORVANE_SORT_KEY_PAIRS=1e8 ctest --preset "$preset" -R '^corvane_tests$' --output-on-failure
  fi
}
check "native: sort keys, 100 million pairs" sort_keys native
check "win64: sort keys, 100 million pairs" sort_keys win64
check "native: valgrind memcheck" tools/sanitize.sh valgrind
check "fuzz: every target for ${CORVANE_SOAK_FUZZ_SECONDS:-300} s" tools/fuzz.sh "${CORVANE_SOAK_FUZZ_SECONDS:-300}"
echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ]
