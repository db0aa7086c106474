#!/usr/bin/env bash
# The client's bounds on a reply, measured through `qrgen wechat` (it posts with
# HttpPost in its helper qrgen-wechat): wall time and peak resident memory of
# the whole run against a loopback server (bench/hostile_http_server.py) that
# answers in one shape a run. Runs are interleaved across shapes; each row is
# the median and range over RUNS runs.
# usage: bench/http_reply_bounds.sh BUILD/bin [RUNS]   (needs python3 and GNU time)
# VORLANE_HTTP_TIMEOUT_MS sets the deadline (3000 here by default).
set -euo pipefail
bin=${1:?usage: $0 BUILD/bin [RUNS]}
runs=${2:-3}
timeout_ms=${VORLANE_HTTP_TIMEOUT_MS:-3000}
here=$(cd "$(dirname "$0")" && pwd)
shapes=(small endless mib-chunks tiny-chunks chunk-ext header-line header-lines continue 100k-headers
        length-1e15 gzip-bomb deflate-bomb reset redirect-loop trickle silent)

work=$(mktemp -d)
server=
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

python3 "$here/hostile_http_server.py" >"$work/port" &
server=$!
while [ ! -s "$work/port" ]; do sleep 0.05; done
port=$(head -n 1 "$work/port")

for ((run = 0; run < runs; run++)); do
    for shape in "${shapes[@]}"; do
        start=$(date +%s%N)
        set +e
        VORLANE_API_URL="http://127.0.0.1:$port/$shape" VORLANE_HTTP_TIMEOUT_MS=$timeout_ms \
            /usr/bin/time -f %M -o "$work/rss" "$bin/qrgen" wechat --account vorlane -o /dev/null 2>/dev/null
        rc=$?
        set -e
        end=$(date +%s%N)
        echo "$shape $(((end - start) / 1000000)) $(tail -n 1 "$work/rss") $rc" >>"$work/results"
    done
done

echo "deadline ${timeout_ms} ms, $runs runs a shape; median (min-max)"
printf '%-14s %-22s %-24s %s\n' reply wall_ms peak_rss_kb exit
for shape in "${shapes[@]}"; do
    stat() { # COLUMN: median (min-max) of that column for this shape
        awk -v s="$shape" -v c="$1" '$1 == s { print $c }' "$work/results" | sort -n |
            awk '{ v[NR] = $1 } END { printf "%d (%d-%d)", v[int((NR + 1) / 2)], v[1], v[NR] }'
    }
    exits=$(awk -v s="$shape" '$1 == s { print $4 }' "$work/results" | sort -u | paste -sd, -)
    printf '%-14s %-22s %-24s %s\n' "$shape" "$(stat 2)" "$(stat 3)" "$exits"
done
