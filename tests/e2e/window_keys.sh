#!/usr/bin/env bash
# The real program in its window: full screen in the show's own display mode,
# deaf to every key but Escape, which ends it with exit code 0.
source "$E2E_DIR/lib.sh"

export SDL_AUDIODRIVER=dummy
start_xvfb 800x600x16
make_show_folder
start_show
window=$(find_show_window)
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Geometry: 800x600' <<<"$geometry" || fail "window is not 800x600: $geometry"
grep -q 'Position: 0,0' <<<"$geometry" || fail "window is not at 0,0: $geometry"

sleep 1
for key in Left Right Up Down a q space Return F1; do
  xdotool key --window "$window" "$key"
done
sleep 1
expect_running "after arrow, letter and function keys"

xdotool key --window "$window" Escape
wait_for_exit 10
[[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"
[[ ! -s "$E2E_WORK/stdout" ]] || fail "unexpected output"

# On a screen without the show's mode the window covers the desktop.
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null
start_xvfb 1024x768x24
start_show
window=$(find_show_window)
sleep 1
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Geometry: 1024x768' <<<"$geometry" || fail "full-screen window is not 1024x768: $geometry"

# A termination signal ends it at once, as the signal does by default.
kill -TERM "$SHOW_PID"
wait_for_exit 5
[[ $SHOW_STATUS -eq 143 ]] || fail "SIGTERM gave exit status $SHOW_STATUS"
echo "PASS"
