#!/usr/bin/env bash
# The built window, copied into WORK_DIR/app: the update check reports the current version, text is typed
# before and after the help box, and the symbol is generated and saved beside the program.
# usage (inside an X session): drive_window.sh WORK_DIR
set -euo pipefail
. "$(dirname "$0")/window.sh"
window_session "$1"
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
