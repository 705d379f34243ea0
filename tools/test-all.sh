#!/usr/bin/env bash
# Every test of every build: the native build, the 64-bit Windows build under
# wine64 (with the hostile COM client's full count of calls), and the 32-bit
# product build under wine32; then the native tests
# under AddressSanitizer with UndefinedBehaviorSanitizer and under valgrind,
# and every fuzz target for a bounded time (CORVANE_FUZZ_SECONDS each, 45 by
# default). Warnings are errors. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh g++ cmake ninja-build libgtest-dev googletest libicu-dev libbenchmark-dev clang-format \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 libwine-dev wine64-tools xvfb xauth \
  clang-16 libclang-rt-16-dev valgrind wine32:i386
export CORVANE_WERROR=ON

echo "== format"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
clang-format --dry-run --Werror $files

for preset in native win64 win32; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
passed=0
failed=0
log=$(mktemp)
for preset in win32 native win64; do
  if ctest --preset "$preset" -N | grep -q "Total Tests: 0"; then
    echo "== $preset: FAILED: no tests, as no wine loader for this build was found"
    status=1
    failed=$((failed + 1))
    continue
  fi
  echo "== $preset: tests"
  # The hostile COM client makes its full count of calls in the 64-bit build
  # (about 20 minutes), a share of it in the 32-bit one.
  calls=2000
  [ "$preset" = win64 ] && calls=100000
  CORVANE_HOSTILE_CALLS=$calls ctest --preset "$preset" 2>&1 | tee "$log" || status=1
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log")
  [ -n "$counts" ] || { status=1; continue; }
  read -r f total <<<"$counts"
  failed=$((failed + f))
  passed=$((passed + total - f))
done
rm -f "$log"

# Memory errors, undefined behaviour and leaks, and hostile input: each counts
# as one more test that passed or failed.
for check in "tools/sanitize.sh asan" "tools/sanitize.sh valgrind" \
             "tools/fuzz.sh ${CORVANE_FUZZ_SECONDS:-45}"; do
  if $check; then
    passed=$((passed + 1))
  else
    echo "== FAILED: $check"
    failed=$((failed + 1))
  fi
done
echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ] || status=1
exit $status
