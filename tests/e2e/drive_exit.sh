#!/usr/bin/env bash
# Yes to the exit question ends the window copied into WORK_DIR/app at once, even while its update check waits
# for a server that never answers; No keeps it.
# usage (inside an X session): drive_exit.sh WORK_DIR
set -euo pipefail
work=$1
python3 -c "
import socket
s = socket.socket(); s.bind(('127.0.0.1', 0)); s.listen()
print(s.getsockname()[1], flush=True)
held = []
while True: held.append(s.accept())
" >"$work/silent.port" &
silent=$!
app=""
trap 'kill $silent ${app:+$app} 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$work/silent.port" ] && break; sleep 0.1; done
VORLANE_API_URL="http://127.0.0.1:$(cat "$work/silent.port")" VORLANE_HTTP_TIMEOUT_MS=30000 \
  "$work/app/vorlane-qr" &
app=$!
sleep 2.5                      # the check has started and waits
exit_question() { xdotool key alt; sleep 0.3; xdotool key Left; sleep 0.3; xdotool key Return; sleep 0.8; }
exit_question                  # 退出程序, the last entry of the menu bar
xdotool key n                  # No: the window stays
sleep 1
kill -0 "$app" 2>/dev/null || { echo "the program ended after No"; exit 1; }
exit_question
xdotool key y
for _ in $(seq 10); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "the program still runs a second after Yes"; exit 1; fi
app=""
