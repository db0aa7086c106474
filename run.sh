#!/usr/bin/env bash
# Set-up, build and start the window, with the local stand-in for the vendor
# web API running over HTTPS on loopback for as long as the window is open.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
. scripts/lib.sh
vorlane_install_deps build run

vorlane_build_settings
# Tests and benchmarks need the test-only packages: left out here, test.sh turns them back on.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_TESTS=OFF -DVORLANE_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build -j"$jobs" --target vorlane-qr qrgen vendor-api

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to show the window on; run it on a virtual one with: xvfb-run -a ./run.sh" >&2
  exit 1
fi

# A certificate for 127.0.0.1, made once, and the stand-in on a free port until the window closes.
tls=build/tls
vorlane_cert "$tls"
api_pid=""
window_pid=""
trap 'kill $window_pid $api_pid 2>/dev/null || true' EXIT
trap 'exit 143' INT TERM
vorlane_start_api "$tls/vendor-api.out" build/bin/vendor-api --cert "$tls/cert.pem" --key "$tls/key.pem"
echo "vendor API stand-in at $api_url"

VORLANE_API_URL="$api_url" VORLANE_CA_FILE="$PWD/$tls/cert.pem" build/bin/vorlane-qr "$@" &
window_pid=$!
wait "$window_pid"
