#!/usr/bin/env bash
# The window's start-up and response, timed from real X events on a virtual display:
#   launch -> MapNotify of the window, launch -> its first paint (first DAMAGE),
#   click on 生成二维码 (a real xdotool click) -> the preview repainted (as the probe
#   received the events, and by the X server's timestamps, whole milliseconds),
#   and, where perf runs, the CPU time the process takes until shortly after its
#   first paint (task-clock: steadier than wall time on a busy machine).
# Each run starts the window afresh; with a baseline binary the two alternate run
# by run, so both see the same machine. The stand-in vendor API answers the
# update check on loopback, so the buttons are enabled as in real use.
# On a machine busy with other work, wall times follow the load: run it as root under
# `chrt -f 5 bench/window_startup.sh ...` (all it starts inherits the priority; nothing of it spins).
# usage: bench/window_startup.sh [BIN_DIR] [BASELINE_WINDOW_BINARY]   (RUNS=10 CLICKS=5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
bin=$(cd "${1:-build/bin}" && pwd)
baseline=${2:-}
runs=${RUNS:-10}
clicks=${CLICKS:-5}
probe="$bin/window_probe"
for tool in Xvfb xdotool "$probe" "$bin/vendor-api" "$bin/vorlane-qr"; do
  command -v "$tool" >/dev/null || { echo "needs $tool (window_probe needs libx11-dev, libxdamage-dev, libxi-dev)" >&2; exit 1; }
done
[ -z "$baseline" ] || [ -x "$baseline" ] || { echo "baseline $baseline is not a program" >&2; exit 1; }
perf_ok=0
perf stat -e task-clock -o /dev/null true 2>/dev/null && perf_ok=1

vorlane_scratch
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; [ -n "$api_pid" ] && kill "$api_pid" 2>/dev/null; rm -rf "$work"' EXIT
# A free display number, told by Xvfb itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=$(head -n1 "$work/display")
[ -n "$display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
vorlane_start_api "$work/vendor-api.out" "$bin/vendor-api"
export VORLANE_API_URL="$api_url"

# stop PID: ends a window this script started, and waits for it.
stop() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.02; done
}

# one NAME BINARY RUN: a launch timed to map and paint, then clicks timed to the repainted preview.
one() {
  local name=$1 program=$2 run=$3 log="$work/status.$1.$3" out pid wid map paint height
  : >"$log"
  out=$(VORLANE_STATUS_LOG="$log" "$probe" launch "$program") || { echo "$name: $out" >&2; return 1; }
  read -r pid wid map paint <<<"$out"
  echo "$name map $map" >>"$work/results"
  echo "$name paint $paint" >>"$work/results"
  # The buttons are enabled once the update check has answered (about a second after load).
  for _ in $(seq 100); do grep -q '最新版本' "$log" && break; sleep 0.05; done
  # Text1 sits below the menu bar, Command1 right of the frames (layout in pixels, client origin).
  height=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\)/\1/p')
  local menu=$((height - 509))
  xdotool windowfocus --sync "$wid" mousemove --window "$wid" 100 $((menu + 150)) click 1
  xdotool type --delay 0 "window start-up bench"
  # An untimed click first: it moves the focus out of Text1, which repaints the whole box.
  xdotool mousemove --window "$wid" 628 $((menu + 380)) click 1
  sleep 0.2
  local fifo="$work/click" fd ready ms probe_pid
  for _ in $(seq "$clicks"); do
    rm -f "$fifo"
    mkfifo "$fifo"
    "$probe" click "$wid" >"$fifo" &
    probe_pid=$!
    exec {fd}<"$fifo"
    read -r -t 10 -u "$fd" ready || ready=""
    [ "$ready" = ready ] || { echo "$name: the click probe did not start" >&2; return 1; }
    xdotool click 1
    read -r -t 10 -u "$fd" ms || ms=""
    exec {fd}<&-
    wait "$probe_pid" || true
    if [ -n "$ms" ]; then
      echo "$name click ${ms% *}" >>"$work/results"
      echo "$name server ${ms#* }" >>"$work/results"
    fi
    sleep 0.05
  done
  grep -q '二维码生成完毕' "$log" || echo "$name: the clicks made no symbol; the click figures are not about the preview" >&2
  stop "$pid"
  if [ "$perf_ok" = 1 ]; then
    # The same start under perf, ended half a second after its first paint (before the update check at 1 s).
    out=$("$probe" launch perf stat -x, -e task-clock -o "$work/cpu" -- "$program" 2>/dev/null) || return 1
    pid=${out%% *}
    sleep 0.5
    local child
    child=$(pgrep -P "$pid" || true)
    [ -n "$child" ] && kill "$child"
    wait "$pid" 2>/dev/null || true
    for _ in $(seq 50); do [ -s "$work/cpu" ] && break; sleep 0.02; done
    echo "$name cpu $(grep task-clock "$work/cpu" | cut -d, -f1)" >>"$work/results"
  fi
}

: >"$work/results"
for run in $(seq "$runs"); do
  one new "$bin/vorlane-qr" "$run"
  [ -z "$baseline" ] || one baseline "$baseline" "$run"
done

echo "window start-up under Xvfb, $runs runs$([ -n "$baseline" ] && echo ", interleaved with $baseline"), $clicks clicks a run"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %-28s %s\n' binary measure "median ms (min-max, n)"
for name in new baseline; do
  for what in map paint click server cpu; do
    sort -n -k3 <(awk -v n="$name" -v w="$what" '$1 == n && $2 == w' "$work/results") |
      awk -v n="$name" -v w="$what" '
        BEGIN { label["map"] = "launch -> mapped"; label["paint"] = "launch -> first paint";
                label["click"] = "click -> preview repainted"; label["server"] = "  the same, server clock";
                label["cpu"] = "CPU to first paint + 0.5 s" }
        { v[NR] = $3 }
        END { if (NR == 0) exit;
              m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
              printf "%-9s %-28s %.1f (%.1f-%.1f, %d)\n", n, label[w], m, v[1], v[NR], NR }'
  done
done
