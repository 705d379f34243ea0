#!/usr/bin/env bash
# The viewer as a person uses it: `corvane view --output F` runs, the host
# runs at trace level 4 in suite mode (a "QuillonMT.exe" beside it) and
# forwards its detail lines to the viewer instead of its detail log, the
# viewer is closed from the command line, and F holds every line the host
# writes to its detail log when no viewer runs, in the same order.
#   viewer_session.sh CORVANE WORK_DIR [WINE_LOADER SCREENSHOT]
# With a wine loader the Windows host runs in the prefix WINEPREFIX on the
# display DISPLAY (xvfb-run around this script), and the window is
# photographed to SCREENSHOT while it shows the lines.
set -euo pipefail
corvane=$1 work=$2 wine=${3:-} screenshot=${4:-}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
viewer=
trap '[ -z "$viewer" ] || kill "$viewer" 2>/dev/null || true' EXIT # a viewer a failure left behind

rm -rf "$work"
mkdir -p "$work/app" "$work/runtime"
chmod 700 "$work/runtime"
cp "$corvane" "$work/app/"
: >"$work/app/QuillonMT.exe"
cd "$work"
# A sorted list of 2,000 entries: each exact match traces a dozen probes.
for i in $(seq 1000 2999); do echo "entry $i"; done >list.txt
# The viewer's socket and the suite's roaming folder inside the work folder.
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
run=(${wine:+"$wine"} "app/$(basename "$corvane")")
# waits up to 60 s (the first wine start in a prefix is slow) for a file
appears() {
  for _ in $(seq 600); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# The host's lookups, each with a replacement it logs as an error: detail
# lines, a summary line and an XML error record each. Each run begins a new
# errors file, as each record to the viewer does.
lookups() {
  for target in "entry 1000" "entry 2999" "ENTRY 1733" "entry 2500x" "entry 2"; do
    "${run[@]}" match "$target" --trace-level 4 --detail-log detail.log --summary-log summary.log \
      --log-dir logs --replace 5000=none list.txt >/dev/null
    [ ! -e logs/detailErrors.log ] || mv logs/detailErrors.log "errors $target.log"
  done
}
lookups
mkdir alone
mv detail.log summary.log errors*.log alone/

"${run[@]}" view --output viewed.txt --filter "ENTRY 2" >printed.txt &
viewer=$!
appears viewed.txt || fail "the viewer did not start"
if timeout 30 "${run[@]}" view 2>/dev/null; then
  fail "a second viewer started beside the first"
fi
lookups
[ -z "$(ls detail.log summary.log errors*.log 2>/dev/null)" ] ||
  fail "the host wrote its logs while the viewer ran"
if [ -n "$screenshot" ]; then
  sleep 1 # the list view draws from its posted message
  import -window root "$screenshot"
  # The empty screen is black; the window's list is white.
  [ "$(identify -format '%[fx:mean > 0.2]' "$screenshot")" = 1 ] || fail "no window on the screenshot"
fi
"${run[@]}" view --close || fail "corvane view --close"
wait "$viewer" || fail "the viewer ended with an error"
viewer=
[ -n "$wine" ] || [ ! -e "$XDG_RUNTIME_DIR/corvane-viewers-$(id -u)/DovaziVeduzi - QuillonMT" ] ||
  fail "the viewer left its socket behind"

# The same lines in the same order; the time stamps differ between the runs.
# A summary line begins with a line break; an error record spans lines.
records() {
  tr -d '\r' <viewed.txt | grep -P "^$1\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t" | cut -f3-
}
tr -d '\r' <alone/detail.log | cut -f2- >expected.txt
records detail | cut -f2- >received.txt
tr -d '\r' <alone/summary.log | grep . | cut -f2- >>expected.txt
records summary | sed 's/^\\r\\n//' | cut -f2- >>received.txt
cat alone/errors*.log | grep -c '^    <error>' >>expected.txt
records errors | grep -c '^    <error>\\r\\n' >>received.txt
diff expected.txt received.txt || fail "the viewer's records differ from the logs' lines"
echo "$(wc -l <received.txt) lines forwarded and received in order"
# Linux prints the records the filter lets through, uncoloured when not on
# a terminal; the file has them all.
[ -n "$wine" ] || grep -i "entry 2" viewed.txt | cmp - printed.txt ||
  fail "the printed records are not the file's that hold the filter's text"

if [ -z "$wine" ]; then
  # A viewer killed without cleaning up leaves its socket; the next one
  # replaces it.
  "${run[@]}" view >/dev/null &
  viewer=$!
  appears "$XDG_RUNTIME_DIR/corvane-viewers-$(id -u)/DovaziVeduzi - QuillonMT" ||
    fail "the viewer made no socket"
  kill -KILL "$viewer"
  wait "$viewer" || true
  "${run[@]}" view --output again.txt >/dev/null &
  viewer=$!
  appears again.txt || fail "a stale socket kept the viewer from starting"
  "${run[@]}" view --close || fail "corvane view --close after a stale socket"
  wait "$viewer" || fail "the viewer ended with an error"
fi
viewer=
