#!/usr/bin/env bash
# The window of the package unpacked into WORK_DIR/root: its title, the update check, and a typed symbol saved
# into the pictures folder of $HOME.
# usage (inside an X session): drive_packaged_window.sh WORK_DIR
set -euo pipefail
. "$(dirname "$0")/window.sh"
window_session "$1"
window_start "$log" "$work/root/usr/bin/vorlane-qr"
window_find "$app"
[[ "$title" == "Vorlane二维码生成器 V"* ]] || { echo "the window's title is '$title'"; exit 1; }
window_wait_status "$log" "当前软件为最新版本,欢迎使用Vorlane软件.."
window_type "from the package"
window_generate_and_save "$log" "$HOME/Pictures"
