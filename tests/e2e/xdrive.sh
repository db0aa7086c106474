#!/usr/bin/env bash
# Runs a driver's steps inside an X session with the window helpers at hand; the window it starts is stopped
# when the driver ends. usage: xdrive.sh WORK_DIR DRIVER   (the driver sees $work and $log)
set -euo pipefail
work=$1
. "$(dirname "$0")/window.sh"
log=$work/status.log
app=""
trap '[ -n "$app" ] && kill "$app" 2>/dev/null || true' EXIT
. "$2"
