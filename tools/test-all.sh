#!/usr/bin/env bash
# Every test of every build that can run here: the native build, the 64-bit
# Windows build under wine64, and the 32-bit product build (its tests run
# where wine32 is installed). Warnings are errors. Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh g++ cmake ninja-build libgtest-dev googletest clang-format \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64
export CORVANE_WERROR=ON

echo "== format"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
clang-format --dry-run --Werror $files

status=0
for preset in native win64 win32; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in native win64 win32; do
  echo "== $preset: tests"
  ctest --preset "$preset" || status=1
done
exit $status
