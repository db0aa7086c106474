# Driving the real window with xdotool inside an X session; sourced by the end-to-end scripts' drivers.

# window_session WORK_DIR: a driver's start; sets work and log (where the window's status texts go), and stops
# the window the driver starts when the driver ends.
window_session() {
  work=$1
  log=$work/status.log
  app=""
  trap '[ -n "$app" ] && kill "$app" 2>/dev/null || true' EXIT
}

# window_start LOG PROGRAM: starts the window with its status texts logged to LOG; sets app, its process id.
window_start() {
  : >"$1"
  VORLANE_STATUS_LOG=$1 "$2" &
  app=$!
}

# window_wait_status LOG TEXT: waits up to 15 s for TEXT among the status texts the window logs.
window_wait_status() {
  for _ in $(seq 150); do grep -qF "$2" "$1" && return 0; sleep 0.1; done
  echo "status never read: $2"; echo "--- status log:"; cat "$1"; return 1
}

# window_find PID: waits for the program's main window; sets wid, title, menu (the menu bar's height) and cx/cy,
# the screen position of the client area's top left corner below the menu bar (the client area is 773 x 509).
window_find() {
  wid=""
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$w")"
      if [ "$WIDTH" -gt 700 ]; then wid=$w; menu=$((HEIGHT - 509)); cx=$X; cy=$((Y + menu)); fi
    done
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "no window"; xdotool search --name . getwindowname %@ 2>&1 | head; return 1; }
  title=$(xdotool getwindowname "$wid")
}

# window_click X Y: a left click at a point of the client area.
window_click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; }

# window_type TEXT: clicks into Text1 and types.
window_type() { window_click 150 150; sleep 0.3; xdotool type --delay 10 "$1"; }

# window_generate_and_save LOG FOLDER: 生成二维码, then 保存二维码 until a picture lands in FOLDER; closes the box.
window_generate_and_save() {
  window_click 628 380 # Command1
  window_wait_status "$1" "二维码生成完毕!"
  window_click 692 428 # Command2
  for _ in $(seq 100); do ls "$2"/HD*.jpg >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 0.5
  xdotool key Return || true
}
