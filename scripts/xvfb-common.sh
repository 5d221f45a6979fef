# Shared by the scripts that try the window on a real X server (source it after `cd` to the
# source tree): a private Xvfb of 1600x1000 with openbox, and helpers to find a window, read
# its client area and click points given in dialog units of the main window (540 x 405).
# Every process put into `pids` is killed when the script ends.

for tool in Xvfb openbox xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "needs $tool (scripts/packages.txt)" >&2; exit 1; }
done
pids=()
xvfb_cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap xvfb_cleanup EXIT

# A display number of our own: Xvfb picks a free one and writes it to the descriptor.
exec 3< <(Xvfb -displayfd 1 -screen 0 1600x1000x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 10 num <&3
export DISPLAY=":$num"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# The id of the first visible window whose title matches the regex; empty after 10 s.
find_window() {
  local w=""
  for _ in $(seq 50); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$w" ] && break
    sleep 0.2
  done
  echo "$w"
}

# The client area of a window on the screen: X, Y, WIDTH, HEIGHT (xwininfo, since
# xdotool adds the frame offset twice under a reparenting window manager).
geometry() {
  local info
  info=$(xwininfo -id "$1")
  X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  WIDTH=$(sed -n 's/^ *Width: *//p' <<<"$info")
  HEIGHT=$(sed -n 's/^ *Height: *//p' <<<"$info")
}

# Clicks window $1 at ($2, $3) in dialog units with mouse button ${4:-1}.
click_du() {
  geometry "$1"
  xdotool mousemove $((X + $2 * WIDTH / 540)) $((Y + $3 * HEIGHT / 405)) click "${4:-1}"
  sleep 0.7
}

# Saves the client area of window $1 as $2.
shot_window() {
  geometry "$1"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$2"
}

# Waits for the pty link $2 (made by a simulator started with --pty --link), opens the window
# with description $1, types the link into the "Порт" list and presses "Старт". Sets `win`.
start_window_on_pty() {
  local dat=$1 link=$2
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  QT_QPA_PLATFORM=xcb "$build/qt/tessvar" "$dat" >/dev/null 2>&1 &
  pids+=($!)
  win=$(find_window '^Tessvar')
  [ -n "$win" ] || { echo "no window" >&2; exit 1; }
  sleep 1
  click_du "$win" 495 378                   # the edit of the "Порт" list
  xdotool key ctrl+a; xdotool type --delay 20 "$link"; sleep 0.3
  click_du "$win" 503 212                   # "Старт"
}
