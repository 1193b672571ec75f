#!/usr/bin/env bash
# --keep-aspect on a 16:9 screen of 1920 by 1080: the show full screen keeps
# its picture 4:3 in the middle 1440 by 1080, between two black bars of 240
# pixels, and that picture is orvane-capture's still at that size, at three
# moments; without the option the picture fills the screen, stretched, as
# the show was made. The moments come from pinned-show, the show's own
# window and frame code with the music time held still.
source "$E2E_DIR/lib.sh"

export SDL_AUDIODRIVER=dummy
start_xvfb 1920x1080x24
make_show_folder

shot() { import -display "$DISPLAY" -window root "$E2E_WORK/$1.png" 2>/dev/null || fail "no screenshot $1"; }
# The highest and the lowest level of any colour channel in a crop.
highest() { /usr/bin/convert "$E2E_WORK/$1.png" -crop "$2" +repage -separate -evaluate-sequence max \
  -format '%[fx:int(maxima*255+0.5)]' info:; }
lowest() { /usr/bin/convert "$E2E_WORK/$1.png" -crop "$2" +repage -separate -evaluate-sequence min \
  -format '%[fx:int(minima*255+0.5)]' info:; }
# Parts per thousand of the pixels where a channel differs by more than 4/255.
differing() {
  /usr/bin/convert "$1" "$2" -compose difference -composite -separate -evaluate-sequence max \
    -threshold 1.8% -format '%[fx:mean*1000]' info:
}
expect_bars() {
  local left right
  left=$(highest "$1" 240x1080+0+0)
  right=$(highest "$1" 240x1080+1680+0)
  [[ $left == 0 && $right == 0 ]] || fail "$1: the bars are not black (highest levels $left and $right)"
}

echo "-- the show with --keep-aspect: 4:3 between two black bars of 240 pixels"
start_show --keep-aspect
window=$(find_show_window)
sleep 2
geometry=$(xdotool getwindowgeometry "$window")
grep -q "Geometry: 1920x1080$" <<<"$geometry" || fail "the window does not cover the screen: $geometry"
shot kept
expect_bars kept
# The show's clear colour is level 5 and nothing draws black before the
# closing scene: the picture's outer columns are the picture's.
for column in 1x1080+240+0 1x1080+1679+0; do
  (($(lowest kept "$column") >= 5)) || fail "the picture does not reach its edge $column"
done
xdotool key --window "$window" Escape
wait_for_exit 10
[[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"

echo "-- the show without it: the picture fills the screen"
start_show
window=$(find_show_window)
sleep 2
shot filled
for column in 1x1080+0+0 1x1080+1919+0; do
  (($(lowest filled "$column") >= 5)) || fail "the picture does not reach the screen's edge $column"
done
xdotool key --window "$window" Escape
wait_for_exit 10
[[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"

# The frame at MS in the window, with the show's options given.
pinned_shot() {  # NAME MS OPTIONS...
  local name=$1 ms=$2 deadline=$((SECONDS + 60))
  shift 2
  (cd "$SHOW_DIR" && LD_PRELOAD="${ORVANE_PRELOAD:-}" exec "$PINNED_SHOW" "$ms" "$@") >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" &
  SHOW_PID=$!
  until grep -q "^pinned at $ms$" "$E2E_WORK/stdout"; do
    ((SECONDS < deadline)) || fail "pinned-show did not draw $ms"
    expect_running "pinned-show at $ms"
    sleep 0.1
  done
  shot "$name"
  xdotool key --window "$(find_show_window)" Escape
  wait_for_exit 10
  [[ $SHOW_STATUS -eq 0 ]] || fail "pinned-show at $ms: exit code $SHOW_STATUS"
}

moments=(12345 90950 175800)
stills="$E2E_WORK/stills"
mkdir -p "$stills/kept" "$stills/filled"
(cd "$SHOW_DIR" && LD_PRELOAD="${ORVANE_PRELOAD:-}" "$ORVANE_CAPTURE" --size 1440x1080 --out-dir "$stills/kept" \
  --still "${moments[0]}" --still "${moments[1]}" --still "${moments[2]}") >/dev/null ||
  fail "orvane-capture --size 1440x1080 --still failed"
for ms in "${moments[@]}"; do
  echo "-- $ms ms with --keep-aspect: the middle is the still of 1440 by 1080"
  pinned_shot "kept-$ms" "$ms" --keep-aspect
  expect_bars "kept-$ms"
  /usr/bin/convert "$E2E_WORK/kept-$ms.png" -crop 1440x1080+240+0 +repage "$E2E_WORK/middle-$ms.png"
  off=$(differing "$E2E_WORK/middle-$ms.png" "$stills/kept/still-$ms.png")
  echo "   $off per mille of the pixels differ by more than 4/255"
  awk -v off="$off" 'BEGIN { exit !(off <= 1) }' || fail "$ms ms: the picture is not the still ($off per mille differ)"
done

ms=${moments[1]}
echo "-- $ms ms without it: the still of 1920 by 1080, stretched"
(cd "$SHOW_DIR" && LD_PRELOAD="${ORVANE_PRELOAD:-}" "$ORVANE_CAPTURE" --size 1920x1080 --stretch --out-dir "$stills/filled" --still "$ms") >/dev/null ||
  fail "orvane-capture --size 1920x1080 --stretch --still failed"
pinned_shot "filled-$ms" "$ms"
off=$(differing "$E2E_WORK/filled-$ms.png" "$stills/filled/still-$ms.png")
echo "   $off per mille of the pixels differ by more than 4/255"
awk -v off="$off" 'BEGIN { exit !(off <= 1) }' || fail "$ms ms: the screen is not the stretched still ($off per mille differ)"
echo "PASS"
