#!/usr/bin/env bash
# Answers whether this machine can run the 32-bit Windows build's tests:
# exit 0 when the 32-bit wine loader starts, 1 when the kernel refuses to
# execute it (some machines cannot run 32-bit programs at all: the loader
# installs but fails with "Exec format error", exit 126), 2 when there is no
# loader. A loader that starts but fails otherwise counts as able to run, so
# that its tests run and show the failure instead of hiding it.
#
#   tools/can-run-32bit.sh [loader]      (default: $CORVANE_WIN32_PROBE, else /usr/lib/wine/wine)
set -u
loader="${1:-${CORVANE_WIN32_PROBE:-/usr/lib/wine/wine}}"
[ -e "$loader" ] || { echo "no 32-bit loader at $loader"; exit 2; }
out=$("$loader" --version 2>&1)
rc=$?
if [ "$rc" -eq 126 ] || grep -q "Exec format error" <<<"$out"; then
  echo "$loader cannot execute here: ${out##*: }"
  exit 1
fi
echo "$loader runs: $(head -n 1 <<<"$out")"
exit 0
