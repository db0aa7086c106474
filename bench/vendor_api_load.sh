#!/usr/bin/env bash
# vendor-api under load and abuse, on loopback: three runs of every case, then the
# median and range of each figure beside its target. Given a second binary folder (an
# older build), every case runs on both in turn, so both meet the same machine.
#   bench/vendor_api_load.sh [BIN_DIR [OLD_BIN_DIR]]        (default build/bin)
# VENDOR_API_RUNS (3) and VENDOR_API_SECONDS (5 per wrk case) change the length;
# VENDOR_API_TRICKLE ("4100 10000") the counts of trickling connections; VENDOR_API_CASES
# ("slow keep_alive flood trickle", or trickle_https) which cases run.
set -euo pipefail

bins=("$(cd "${1:-build/bin}" && pwd)")
[ -n "${2:-}" ] && bins+=("$(cd "$2" && pwd)")
trickle_counts=${VENDOR_API_TRICKLE:-4100 10000}
cases=${VENDOR_API_CASES:-slow keep_alive flood trickle}
here=$(cd "$(dirname "$0")" && pwd)
runs=${VENDOR_API_RUNS:-3}
seconds=${VENDOR_API_SECONDS:-5}
lua="$here/vendor_api_post.lua"
abuse="$here/vendor_api_abuse.py"
. "$here/../scripts/lib.sh"
for tool in wrk openssl python3; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
ulimit -n "$(ulimit -Hn)"

work=$(mktemp -d)
server_pid="" abuse_pid=""
cleanup() {
  [ -n "$abuse_pid" ] && kill "$abuse_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' INT TERM

# A throw-away certificate; P-256 keeps 1,000 handshakes cheap.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/key.pem" \
  -out "$work/cert.pem" -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 2>/dev/null

# start_server http|https: a fresh vendor-api on a free port; sets server_pid, url, port.
start_server() {
  local tls=()
  [ "$1" = https ] && tls=(--cert "$work/cert.pem" --key "$work/key.pem")
  vorlane_start_api "$work/server.out" "$bin/vendor-api" ${tls[@]+"${tls[@]}"}
  server_pid=$api_pid url=$api_url
  port=${url##*:}
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }
peak_rss_mb() { awk '/^VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$server_pid/status"; }

# wrk_run OUT ARGS...: wrk against the look-up endpoint.
wrk_run() {
  local out=$1
  shift
  wrk "$@" --timeout 2s -s "$lua" "$url/index.php/Index/qr_driod" >"$out"
}
rps() { awk '/^Requests\/sec/ {printf "%.0f", $2}' "$1"; }
timeouts() { awk '/Socket errors/ {gsub(",", ""); print $10; f = 1} END {if (!f) print 0}' "$1"; }
# Anything but a good answer: socket errors, non-2xx statuses, replies that are not result 1.
failures() {
  awk '/Socket errors/ {gsub(",", ""); n += $4 + $6 + $8 + $10}
       /Non-2xx/ {n += $NF} /^bad replies/ {n += $3} END {print n + 0}' "$1"
}

# VENDOR_API_FIGURES names a file that keeps every figure as it comes (a long run may be cut short).
figure() { echo "$label$1 $2" | tee -a "${VENDOR_API_FIGURES:-/dev/null}" >>"$work/figures"; }

# A good client (a new connection per request, handshake included, every reply
# checked) while 200 slowloris and 50 idle connections are held open.
case_slow_clients() {
  local scheme=$1 tls=()
  [ "$scheme" = https ] && tls=(--tls)
  start_server "$scheme"
  python3 "$abuse" slow 127.0.0.1 "$port" ${tls[@]+"${tls[@]}"} --slow 200 --idle 50 >"$work/abuse.out" &
  abuse_pid=$!
  for _ in $(seq 300); do grep -q holding "$work/abuse.out" && break; sleep 0.1; done
  echo "    $scheme: $(cat "$work/abuse.out"), $(ss -Htn state established "( sport = :$port )" | wc -l) open at the server"
  python3 "$abuse" good 127.0.0.1 "$port" ${tls[@]+"${tls[@]}"} --requests 200 >"$work/good.out"
  echo "    $(cat "$work/good.out")"
  kill "$abuse_pid" 2>/dev/null || true # it may have ended on its own
  wait "$abuse_pid" 2>/dev/null || true
  abuse_pid=""
  figure "slow_${scheme}_median_ms" "$(sed 's/.*median \([0-9.]*\) ms.*/\1/' "$work/good.out")"
  figure "slow_${scheme}_slowest_ms" "$(sed 's/.*slowest \([0-9.]*\) ms.*/\1/' "$work/good.out")"
  figure "slow_${scheme}_failed" "$(sed 's/.*requests, \([0-9]*\) failed.*/\1/' "$work/good.out")"
  stop_server
}

# One keep-alive connection, then 1,000 of them.
case_keep_alive() {
  local scheme=$1
  start_server "$scheme"
  VENDOR_API_CHECK=1 wrk_run "$work/wrk.out" -t1 -c1 -d"${seconds}s"
  figure "one_${scheme}_rps" "$(rps "$work/wrk.out")"
  figure "one_${scheme}_failed" "$(failures "$work/wrk.out")"
  wrk_run "$work/wrk.out" -t2 -c1000 -d"${seconds}s"
  figure "many_${scheme}_rps" "$(rps "$work/wrk.out")"
  figure "many_${scheme}_timeouts" "$(timeouts "$work/wrk.out")"
  figure "many_${scheme}_peak_rss_mb" "$(peak_rss_mb)"
  stop_server
}

# 1 GiB of header lines, a new connection whenever one is refused.
case_header_flood() {
  start_server http
  python3 "$abuse" flood 127.0.0.1 "$port" --bytes $((1 << 30)) --parallel 8 >"$work/flood.out"
  echo "    $(cat "$work/flood.out")"
  figure flood_peak_rss_mb "$(peak_rss_mb)"
  figure flood_refused_431 "$(grep -o '431 Request Header Fields Too Large x[0-9]*' "$work/flood.out" | sed 's/.*x//')"
  VENDOR_API_CHECK=1 wrk_run "$work/wrk.out" -t1 -c1 -d1s
  figure flood_then_good_failed "$(failures "$work/wrk.out")"
  stop_server
}

# A good client (200 look-ups, one every 0.1 s, so they span the server cutting and the
# clients reopening) beside N connections that each send a byte a second, never a whole request.
case_trickle() {
  local scheme=$1 count=$2 tls=()
  [ "$scheme" = https ] && tls=(--tls)
  start_server "$scheme"
  python3 "$abuse" slow 127.0.0.1 "$port" ${tls[@]+"${tls[@]}"} --slow "$count" --idle 0 --ramp 30 \
    >"$work/abuse.out" 2>>"$work/abuse.err" &
  abuse_pid=$!
  for _ in $(seq 400); do grep -q holding "$work/abuse.out" && break; sleep 0.1; done
  local held
  held=$(ss -Htn state established "( sport = :$port )" | wc -l)
  python3 "$abuse" good 127.0.0.1 "$port" ${tls[@]+"${tls[@]}"} --requests 200 --interval 0.1 --timeout 11 \
    --budget 60 >"$work/good.out"
  echo "    $scheme beside $count trickling ($held open at the server): $(cat "$work/good.out")"
  kill "$abuse_pid" 2>/dev/null || true # it may have ended on its own
  wait "$abuse_pid" 2>/dev/null || true
  abuse_pid=""
  figure "trickle${count}_${scheme}_open" "$held"
  figure "trickle${count}_${scheme}_median_ms" "$(sed 's/.*median \([0-9.a-z]*\) ms.*/\1/' "$work/good.out")"
  figure "trickle${count}_${scheme}_served_pct" \
    "$(sed 's/good: \([0-9]*\) requests, \([0-9]*\) failed.*/\1 \2/' "$work/good.out" | awk '{printf "%.1f", 100 * ($1 - $2) / $1}')"
  figure "trickle${count}_${scheme}_peak_rss_mb" "$(peak_rss_mb)"
  stop_server
}

for run in $(seq "$runs"); do
  echo "run $run of $runs"
  for bin in "${bins[@]}"; do
    label=""
    [ "$bin" != "${bins[0]}" ] && label="old:"
    echo "  $bin/vendor-api"
    for c in $cases; do
      case $c in
        slow) case_slow_clients http && case_slow_clients https ;;
        keep_alive) case_keep_alive http && case_keep_alive https ;;
        flood) case_header_flood ;;
        trickle) for count in $trickle_counts; do case_trickle http "$count" && case_trickle https "$count"; done ;;
        trickle_https) for count in $trickle_counts; do case_trickle https "$count"; done ;;
      esac
    done
  done
done

# Median and range of each figure over the runs, beside its target.
awk -v runs="$runs" '
  { v[$1] = v[$1] " " $2; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
  END {
    target["slow_http_median_ms"] = "< 50";        target["slow_https_median_ms"] = "< 50"
    target["slow_http_failed"] = "0";              target["slow_https_failed"] = "0"
    target["slow_http_slowest_ms"] = "-";          target["slow_https_slowest_ms"] = "-"
    target["one_http_rps"] = ">= 2000";            target["one_https_rps"] = "-"
    target["one_http_failed"] = "0";               target["one_https_failed"] = "0"
    target["many_http_rps"] = ">= 5000";           target["many_https_rps"] = ">= 1000"
    target["many_http_timeouts"] = "0";            target["many_https_timeouts"] = "0"
    target["many_http_peak_rss_mb"] = "-";         target["many_https_peak_rss_mb"] = "-"
    target["flood_peak_rss_mb"] = "< 64";          target["flood_refused_431"] = "> 0"
    target["flood_then_good_failed"] = "0"
    for (k in target) target["old:" k] = target[k]
    printf "%-32s %12s %22s %10s\n", "figure", "median", "range", "target"
    for (i = 1; i <= n; ++i) {
      k = order[i]
      m = split(substr(v[k], 2), a, " ")
      for (x = 1; x <= m; ++x) for (y = x + 1; y <= m; ++y) if (a[y] + 0 < a[x] + 0) { t = a[x]; a[x] = a[y]; a[y] = t }
      t = target[k]
      if (t == "" && k ~ /trickle4100_.*median/) t = "< 50"
      if (t == "" && k ~ /trickle4100_.*served/) t = "100"
      if (t == "" && k ~ /trickle10000_.*served/) t = ">= 99"
      printf "%-32s %12s %22s %10s\n", k, a[int((m + 1) / 2)], a[1] " .. " a[m], t

    }
  }' "$work/figures"
