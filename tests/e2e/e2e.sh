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

VORLANE_API_URL="$api_url" VORLANE_CA_FILE="$work/cert.pem" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$here/drive_window.sh" "$work"

# Yes to the exit question ends the program at once, even while the update check
# waits for a server that never answers.
xvfb-run -a -s "-screen 0 1024x768x24" "$here/drive_exit.sh" "$work"

saved=$(ls "$work"/app/HD*.jpg)
[[ "$(basename "$saved")" =~ ^HD[0-9]{14}\.jpg$ ]] || { echo "bad name $saved"; exit 1; }
[ "$(head -c 3 "$saved" | od -An -tx1 | tr -d ' \n')" = "ffd8ff" ] || { echo "not a JPEG"; exit 1; }
decoded=$(zbarimg --nodbus --raw -q -Sdisable -Sqrcode.enable "$saved" 2>/dev/null)
[ "$decoded" = "end to end again" ] || { echo "decoded '$decoded'"; exit 1; }
echo "end-to-end: window up, update check current, typed around the help box, symbol saved as $(basename "$saved") and decoded; Yes during a wait ends the program"
