#!/usr/bin/env bash
# Start-up with a 5,000,000-byte text file, Dunmoss Notepad against FeatherPad (also Qt): both
# under one Xvfb server with openbox, pinned to the same cores, launched alternately with a fresh
# home each time. For each launch it reports
#   shown: ms from launch until a viewable window titled with the file's name exists;
#   drawn: ms from launch until that window's text area holds the file's text in pixels (read
#          back from the X server, so a window shown before its text is drawn does not count);
#   RSS and PSS in MB, read SETTLE seconds after the text was drawn (work started at launch,
#          such as colouring or the session's first record, has ended by then).
# One launch of each comes first and is not counted (fonts and the file come from the disk then).
# Medians of each figure with their spread (lowest and highest) and the ratios ours/FeatherPad
# come last, with the load at the start and at the end: a run whose ranges barely overlap tells
# more than one median, and a busy machine widens them.
#   usage: bench/startup_vs_featherpad.sh [path/to/dunmoss-notepad] [runs (9)]
#   env:   CORES (2,3) for the programs, TOOL_CORE (4) for the watcher, SETTLE (3)
set -euo pipefail
cd "$(dirname "$0")/.."
ours=$(readlink -f "${1:-build/dunmoss-notepad}")
runs=${2:-9}
cores=${CORES:-2,3}
tool_core=${TOOL_CORE:-4}
settle=${SETTLE:-3}
peer=$(command -v featherpad || true)
[ -x "$ours" ] || { echo "build the program first ($ours missing)" >&2; exit 1; }
[ -n "$peer" ] || { echo "featherpad is not installed" >&2; exit 1; }
command -v openbox >/dev/null || { echo "openbox is needed" >&2; exit 1; }

if [ -z "${DUNMOSS_STARTUP_UNDER_XVFB:-}" ]; then
  export DUNMOSS_STARTUP_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'kill "$wm" 2>/dev/null || true; rm -rf "$work"' EXIT
gcc -O2 -o "$work/textdrawn" bench/support/textdrawn.c -lX11
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
file="$work/startup-sample.txt"
python3 - "$file" <<'PY'
import sys
line = "2024-05-01T12:00:00Z INFO 请求已处理 request served in 12 ms path=/api/items?id=42\n".encode()
data = (line * (5_000_000 // len(line) + 1))[:5_000_000]
# End on a whole line so the cut never splits a character.
data = data[: data.rfind(b"\n") + 1]
data += b"x" * (5_000_000 - len(data))
open(sys.argv[1], "wb").write(data)
PY

# Prints "shown drawn rss pss" for one launch of "$@" on the file ("-" for what never came).
time_launch() {
  local home="$work/home-$RANDOM$RANDOM"
  mkdir -p "$home/config" "$home/data" "$home/cache" "$home/run"
  chmod 700 "$home/run"
  local start pid times rss="-" pss="-"
  start=$(date +%s%N)
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" \
    DUNMOSS_INSTANCE_SOCKET="$home/run/instance" \
    taskset -c "$cores" "$@" "$file" >"$home/output" 2>&1 &
  pid=$!
  times=$(taskset -c "$tool_core" "$work/textdrawn" startup-sample.txt "$start" 60000 || true)
  if [ "${times#* }" != "-1" ]; then
    sleep "$settle"
    rss=$(awk '/^Rss:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/smaps_rollup" 2>/dev/null || echo "-")
    pss=$(awk '/^Pss:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/smaps_rollup" 2>/dev/null || echo "-")
  else
    # Said on the terminal: a launch that never showed the file is a fault, not noise.
    { echo "no text drawn by $1 ($times); its output:"; cat "$home/output"; } >&2
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "${times/-1/-} $rss $pss"
}

median() {
  grep -Ev '^-?$' | sort -g |
    awk '{a[NR]=$1} END {if (NR == 0) print "-"; else print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
}

echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg); programs on cores $cores"
echo "not counted: dunmoss-notepad $(time_launch "$ours"), featherpad $(time_launch "$peer")"
: >"$work/ours"; : >"$work/peer"
for i in $(seq 1 "$runs"); do
  r=$(time_launch "$ours"); echo "$r" >>"$work/ours"; echo "run $i dunmoss-notepad: $r"
  r=$(time_launch "$peer"); echo "$r" >>"$work/peer"; echo "run $i featherpad:      $r"
done
column_median() { awk -v c="$2" '{print $c}' "$1" | median; }
# "lowest-highest" of a column, "-" when no launch gave it.
column_range() {
  awk -v c="$2" '$c != "-" && $c != "" { if (n == 0 || $c < lo) lo = $c; if (n == 0 || $c > hi) hi = $c; n++ }
    END { if (n == 0) print "-"; else print lo "-" hi }' "$1"
}
printf '%-10s %10s %14s %10s %14s %7s\n' "of $runs" ours "ours range" featherpad "peer range" ratio
for c in 1 2 3 4; do
  name=$(echo "shown_ms drawn_ms RSS_MB PSS_MB" | cut -d' ' -f"$c")
  a=$(column_median "$work/ours" "$c"); b=$(column_median "$work/peer" "$c")
  ra=$(column_range "$work/ours" "$c"); rb=$(column_range "$work/peer" "$c")
  awk -v n="$name" -v a="$a" -v b="$b" -v ra="$ra" -v rb="$rb" \
    'BEGIN { printf "%-10s %10s %14s %10s %14s %7s\n", n, a, ra, b, rb, (b > 0 && a != "-") ? sprintf("%.2f", a / b) : "-" }'
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
