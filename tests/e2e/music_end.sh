#!/usr/bin/env bash
# With a short soundtrack the show ends by itself, with exit code 0, within
# a second of the music's end.
source "$E2E_DIR/lib.sh"

export SDL_AUDIODRIVER=dummy
start_xvfb 800x600x24
make_show_folder
rm "$SHOW_DIR/cud.mod"
rows=24  # 2.88 s at 120 ms a row
"$WRITE_TEST_MODULE" "$SHOW_DIR/cud.mod" "$rows" >/dev/null || fail "could not write the test module"
length_ms=$((rows * 120))

start_show
find_show_window >/dev/null
started=$(date +%s%N)
wait_for_exit 20
ended=$(date +%s%N)
[[ $SHOW_STATUS -eq 0 ]] || fail "exit code $SHOW_STATUS at the music's end"
[[ ! -s "$E2E_WORK/stdout" ]] || fail "unexpected output"

# The window appears a little after the music starts, so the run measured
# from it is at most the music's length, and not much shorter.
ran_ms=$(((ended - started) / 1000000))
echo "music ${length_ms} ms, ran ${ran_ms} ms after the window appeared"
((ran_ms <= length_ms + 1000)) || fail "ended ${ran_ms} ms after its window appeared, music is ${length_ms} ms"
((ran_ms >= length_ms - 1500)) || fail "ended after only ${ran_ms} ms, music is ${length_ms} ms"
echo "PASS"
