#!/usr/bin/env bash
# The whole show with our own soundtrack and pictures, as a viewer sees it:
# screenshots of the real window inside long effect windows, and the end by
# itself, with exit code 0, when the music ends.
source "$E2E_DIR/lib.sh"

export SDL_AUDIODRIVER=dummy
start_xvfb 800x600x24
make_show_folder
length_ms=$(openmpt123 --info "$SHOW_DIR/cud.mod" 2>/dev/null |
  awk '/^Duration/ { split($2, t, ":"); printf "%d", (t[1] * 60 + t[2]) * 1000 }')
[[ -n "$length_ms" && $length_ms -gt 200000 ]] || fail "could not read the soundtrack's length"

start_show
find_show_window >/dev/null
started=$(date +%s%N)

since_start_ms() { echo $((($(date +%s%N) - started) / 1000000)); }
wait_until_ms() {
  while (($(since_start_ms) < $1)); do
    expect_running "it ended at $(since_start_ms) ms, before ${1} ms"
    sleep 0.05
  done
}
shot() { import -display "$DISPLAY" -window root "$E2E_WORK/$1.png" 2>/dev/null || fail "no screenshot at $1"; }
# Mean of a crop (0..1) after a threshold, and the darkest level in it.
lit_share() { convert "$E2E_WORK/$1.png" -crop "$2" -threshold "$3" -format '%[fx:mean]' info:; }
darkest() { convert "$E2E_WORK/$1.png" -crop "$2" -format '%[fx:int(minima*255)]' info:; }

echo "-- 5 s: the time readout right of the view's centre"
wait_until_ms 5000
shot readout
awk -v lit="$(lit_share readout 80x30+400+270 50%)" 'BEGIN { exit !(lit > 0.02) }' ||
  fail "no readout at 5 s"

echo "-- 200 s: the closing scene's black sphere on the right"
# Everywhere else the frame is at least the clear colour's level, 5; only
# the sphere's solid is black. It bobs over the whole height, so look at the
# whole right-hand strip, right of the pictures.
wait_until_ms 200000
shot closing
(($(darkest closing 40x600+755+0) == 0)) || fail "no black sphere on the right at 200 s"
(($(darkest closing 40x600+5+0) > 0)) || fail "black on the left at 200 s"

wait_for_exit 30
ran_ms=$(since_start_ms)
[[ $SHOW_STATUS -eq 0 ]] || fail "exit code $SHOW_STATUS at the music's end"
echo "music ${length_ms} ms, ran ${ran_ms} ms after the window appeared"
((ran_ms <= length_ms + 3000)) || fail "ended ${ran_ms} ms after its window appeared"
((ran_ms >= length_ms - 10000)) || fail "ended after only ${ran_ms} ms"
echo "PASS"
