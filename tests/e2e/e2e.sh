#!/usr/bin/env bash
# The real window under Xvfb against vendor-api over HTTPS: it comes up, the
# update check reports the current version, text is typed before and after the
# help box, a symbol is generated and saved (driven with xdotool), and the saved
# file decodes to all that was typed.
# usage: e2e.sh BIN_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib.sh"
bin=$(cd "$1" && pwd)
export QT_QPA_PLATFORM=xcb # a real window, whatever the suite around runs on
vorlane_scratch

vorlane_cert "$work"
vorlane_start_api "$work/api.out" "$bin/vendor-api" --cert "$work/cert.pem" --key "$work/key.pem"

# The program saves beside itself: run a copy from the scratch folder.
mkdir -p "$work/app"
cp "$bin/vorlane-qr" "$work/app/"

cat >"$work/drive.sh" <<'DRIVE'
window_start "$log" "$work/app/vorlane-qr"
window_wait_status "$log" "当前软件为最新版本,欢迎使用Vorlane软件.."
window_find "$app"
window_type "end to end"
# 程序菜单 > 使用说明, closed with its OK; focus coming back must not select the text.
xdotool mousemove $((cx + 35)) $((cy - menu / 2)) click 1
sleep 0.5
xdotool key Down Down Down Return
sleep 1
xdotool key Return
sleep 0.5
xdotool windowfocus "$wid"
sleep 0.3
xdotool type --delay 10 " again"
window_generate_and_save "$log" "$work/app"
DRIVE

VORLANE_API_URL="$api_url" VORLANE_CA_FILE="$work/cert.pem" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/xdrive.sh" "$work" "$work/drive.sh"

# Yes to the exit question ends the program at once, even while the update check
# waits for a server that never answers.
cat >"$work/exit.sh" <<'EXIT'
#!/usr/bin/env bash
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
EXIT
chmod +x "$work/exit.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/exit.sh" "$work"

saved=$(ls "$work"/app/HD*.jpg)
[[ "$(basename "$saved")" =~ ^HD[0-9]{14}\.jpg$ ]] || { echo "bad name $saved"; exit 1; }
[ "$(head -c 3 "$saved" | od -An -tx1 | tr -d ' \n')" = "ffd8ff" ] || { echo "not a JPEG"; exit 1; }
decoded=$(zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable "$saved" 2>/dev/null)
[ "$decoded" = "end to end again" ] || { echo "decoded '$decoded'"; exit 1; }
echo "end-to-end: window up, update check current, typed around the help box, symbol saved as $(basename "$saved") and decoded; Yes during a wait ends the program"
