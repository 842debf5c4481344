#!/usr/bin/env bash
# Start-up to a shown window holding a 5,000,000-byte text file: Dunmoss Notepad against
# FeatherPad (also Qt), both under one Xvfb server, each launched several times with a fresh
# settings folder. A launch counts as shown once a viewable top-level window whose title names
# the file exists, which both programs set only after the file is loaded. The resident memory of
# each is read a second after its window is shown.
#   usage: bench/startup_vs_featherpad.sh [path/to/dunmoss-notepad] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
ours=${1:-build/dunmoss-notepad}
runs=${2:-5}
peer=$(command -v featherpad || true)
[ -x "$ours" ] || { echo "build the program first ($ours missing)" >&2; exit 1; }
[ -n "$peer" ] || { echo "featherpad is not installed" >&2; exit 1; }
command -v xwininfo >/dev/null || { echo "xwininfo (x11-utils) is needed" >&2; exit 1; }

if [ -z "${DUNMOSS_STARTUP_UNDER_XVFB:-}" ]; then
  export DUNMOSS_STARTUP_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Milliseconds from launch until a viewable window titled with the file's name exists, and the
# program's resident memory in MB a second later ("timeout" and "-" when no window came).
time_launch() {
  local home="$work/home-$RANDOM"
  mkdir -p "$home"
  local start pid id elapsed="" rss="-"
  start=$(now_ms)
  XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" HOME="$home" "$@" "$file" \
    >"$home/output" 2>&1 &
  pid=$!
  for _ in $(seq 1 3000); do
    id=$(xwininfo -root -tree 2>/dev/null | grep -F "startup-sample.txt" | awk '{print $1}' | head -1)
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q "IsViewable"; then
      elapsed=$(( $(now_ms) - start ))
      break
    fi
    sleep 0.01
  done
  if [ -n "$elapsed" ]; then
    sleep 1
    rss=$(awk '/^VmRSS:/ { printf "%d", $2 / 1024 }' "/proc/$pid/status" 2>/dev/null || echo "-")
  else
    # Said on the terminal: a launch that never showed the file is a fault, not noise.
    { echo "no window from $1 (exit status below if it ended):"; cat "$home/output"; } >&2
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "${elapsed:-timeout} ${rss:--}"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }

ours_times=(); peer_times=(); ours_rss=(); peer_rss=()
for _ in $(seq 1 "$runs"); do
  r=$(time_launch "$ours"); ours_times+=("${r% *}"); ours_rss+=("${r#* }")
  r=$(time_launch "$peer"); peer_times+=("${r% *}"); peer_rss+=("${r#* }")
done
middle() { printf '%s\n' "$@" | grep -Ev 'timeout|-' | median; }
ours_median=$(middle "${ours_times[@]}")
peer_median=$(middle "${peer_times[@]}")
echo "dunmoss-notepad ms: ${ours_times[*]}  (median $ours_median)"
echo "featherpad     ms: ${peer_times[*]}  (median $peer_median)"
awk -v a="$ours_median" -v b="$peer_median" \
  'BEGIN { if (b > 0) printf "ratio ours/featherpad (median): %.2f (below 1 means faster)\n", a / b }'
echo "dunmoss-notepad RSS MB: ${ours_rss[*]}  (median $(middle "${ours_rss[@]}"))"
echo "featherpad     RSS MB: ${peer_rss[*]}  (median $(middle "${peer_rss[@]}"))"
