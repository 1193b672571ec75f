#!/usr/bin/env bash
# Bad or missing inputs: the program says what is wrong, exactly as it
# should, and either goes on without music or stops with the error report.
source "$E2E_DIR/lib.sh"

start_xvfb 800x600x24
make_show_folder

# Prints the program's output after running it for $1 seconds, then Escape.
run_briefly() {
  start_show
  local window
  window=$(find_show_window)
  sleep "$1"
  expect_running "it should go on without music"
  xdotool key --window "$window" Escape
  wait_for_exit 10
  [[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"
}

expect_output() {
  local expected
  expected=$(printf '%s\n' "$@")
  [[ "$(cat "$E2E_WORK/stdout")" == "$expected" ]] || fail "expected output: $expected"
}

echo "-- no sound output"
SDL_AUDIODRIVER=orvane-no-such-driver run_briefly 1
expect_output "Error: Failed Initializing..." "Error initializing output device."

export SDL_AUDIODRIVER=dummy

echo "-- no cud.mod"
mv "$SHOW_DIR/cud.mod" "$E2E_WORK/cud.mod"
run_briefly 1.5
expect_output "Error: Failed Song Loading..." "File not found."

echo "-- cud.mod that is not a module"
head -c 5000 /dev/urandom >"$SHOW_DIR/cud.mod"
run_briefly 1
expect_output "Error: Failed Song Loading..." "Unknown file format."
mv "$E2E_WORK/cud.mod" "$SHOW_DIR/cud.mod"

echo "-- no g2.pcx"
rm "$SHOW_DIR/g2.pcx"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$E2E_WORK/heard.raw"
start_show
wait_for_exit 20
[[ $SHOW_STATUS -eq 2 ]] || fail "missing picture gave exit code $SHOW_STATUS"
head -n 1 "$E2E_WORK/stdout" | grep -Eq '^Runtime error 2 at 0x[0-9A-F]{8}$' || fail "report's first line is wrong"
tail -n +2 "$E2E_WORK/stdout" | sed '$d' | grep -Evq '^0x[0-9A-F]{8}$' && fail "report has a line that is not an address"
[[ -z "$(tail -n 1 "$E2E_WORK/stdout")" ]] || fail "report does not end with an empty line"
[[ ! -e "$E2E_WORK/heard.raw" ]] || fail "the music started although a picture was missing"
echo "PASS"
