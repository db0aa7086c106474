#!/usr/bin/env bash
# Set-up, build and start the window, with the local stand-in for the vendor
# web API running over HTTPS on loopback for as long as the window is open.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vorlane_install_deps build run

vorlane_build_settings
# Tests and benchmarks need the test-only packages: left out here, test.sh turns them back on.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_TESTS=OFF -DVORLANE_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs" --target vorlane-qr qrgen vendor-api

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to show the window on; run it on a virtual one with: xvfb-run -a ./run.sh" >&2
  exit 1
fi

# A certificate for 127.0.0.1, made once.
tls=build/tls
if [ ! -s "$tls/cert.pem" ] || [ ! -s "$tls/key.pem" ]; then
  mkdir -p "$tls"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tls/key.pem" -out "$tls/cert.pem" -days 3650 \
    -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null
fi

out="$tls/vendor-api.out"
: >"$out"
build/bin/vendor-api --listen 127.0.0.1:0 --cert "$tls/cert.pem" --key "$tls/key.pem" >"$out" &
api_pid=$!
window_pid=""
trap 'kill $window_pid "$api_pid" 2>/dev/null || true' EXIT
trap 'exit 143' INT TERM
for _ in $(seq 100); do
  grep -q '^listening on ' "$out" && break
  kill -0 "$api_pid" 2>/dev/null || { echo "vendor-api did not start" >&2; exit 1; }
  sleep 0.1
done
api_url=$(sed -n 's/^listening on //p' "$out")
echo "vendor API stand-in at $api_url"

VORLANE_API_URL="$api_url" VORLANE_CA_FILE="$PWD/$tls/cert.pem" build/bin/vorlane-qr "$@" &
window_pid=$!
wait "$window_pid"
