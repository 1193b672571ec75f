#!/usr/bin/env bash
# The command line as a user types it: --help, --version and wrong command
# lines answer at once, without a display; --window plays in an 800 by 600
# window on a larger screen; --folder plays another folder's files from an
# empty working folder; -display reaches GLUT, and the show's own X
# connections follow it.
source "$E2E_DIR/lib.sh"

OTHER_PID=""
trap '[[ -n "$OTHER_PID" ]] && { kill "$OTHER_PID"; wait "$OTHER_PID"; } 2>/dev/null; cleanup' EXIT

empty="$E2E_WORK/empty"
mkdir -p "$empty"

# Runs the program without a display in an empty folder; sets STATUS.
run_at_once() {
  (cd "$empty" && env -u DISPLAY "$ORVANE" "$@") >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr"
  STATUS=$?
}

echo "-- --help and --version, without a display"
run_at_once --help
[[ $STATUS -eq 0 ]] || fail "--help gave exit code $STATUS"
head -n 1 "$E2E_WORK/stdout" | grep -q '^usage: orvane ' || fail "--help does not start with the usage line"
for option in --window '--folder DIR' -display -geometry --version; do
  grep -qF -- "$option" "$E2E_WORK/stdout" || fail "--help does not mention $option"
done
[[ ! -s "$E2E_WORK/stderr" ]] || fail "--help wrote to standard error"
run_at_once --version
[[ $STATUS -eq 0 ]] || fail "--version gave exit code $STATUS"
grep -Eqx 'orvane [0-9]+\.[0-9]+\.[0-9]+' "$E2E_WORK/stdout" || fail "--version printed: $(cat "$E2E_WORK/stdout")"

echo "-- wrong command lines: a message, exit code 2, nothing started"
while IFS='|' read -r args usage message; do
  # shellcheck disable=SC2086
  run_at_once $args
  [[ $STATUS -eq 2 ]] || fail "'$args' gave exit code $STATUS, not 2"
  [[ ! -s "$E2E_WORK/stdout" ]] || fail "'$args' wrote to standard output"
  grep -qxF -- "orvane: $message" "$E2E_WORK/stderr" || fail "'$args' did not say: $message"
  if [[ $usage == usage ]]; then
    grep -q '^usage: orvane ' "$E2E_WORK/stderr" || fail "'$args' gave no usage line"
  fi
done <<'CASES'
--fullscreen|usage|unknown option --fullscreen
--window cud.mod|usage|unexpected argument cud.mod
--folder|usage|--folder needs a folder
-display|usage|-display needs a value
--folder /nonexistent/orvane|no|cannot read the show's files from /nonexistent/orvane: No such file or directory
CASES

export SDL_AUDIODRIVER=dummy
start_xvfb 1024x768x24
make_show_folder
files="$SHOW_DIR"
SHOW_DIR="$empty"

echo "-- --window on a larger screen, with the files of --folder"
start_show --window --folder "$files"
window=$(find_show_window)
sleep 1
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Geometry: 800x600' <<<"$geometry" || fail "--window gave a window of $geometry"
grep -q 'Position: 0,0' <<<"$geometry" || fail "--window's window is not at 0,0: $geometry"
xdotool key --window "$window" Escape
wait_for_exit 10
[[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"
# Nothing said: the module was found in the folder.
[[ ! -s "$E2E_WORK/stdout" ]] || fail "unexpected output from a folder with every file"

echo "-- --folder with a missing picture: the error report and exit code 2"
mv "$files/resp.pcx" "$E2E_WORK/resp.pcx"
start_show --window --folder "$files"
wait_for_exit 20
[[ $SHOW_STATUS -eq 2 ]] || fail "a missing picture gave exit code $SHOW_STATUS"
head -n 1 "$E2E_WORK/stdout" | grep -Eq '^Runtime error 2 at 0x[0-9A-F]{8}$' || fail "no error report"
mv "$E2E_WORK/resp.pcx" "$files/resp.pcx"

echo "-- -display names the display, while DISPLAY names another"
: >"$E2E_WORK/other"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$E2E_WORK/other" >/dev/null 2>&1 &
OTHER_PID=$!
deadline=$((SECONDS + 20))
until [[ -s "$E2E_WORK/other" ]]; do
  ((SECONDS < deadline)) || fail "the second Xvfb did not start"
  sleep 0.05
done
DISPLAY=":$(head -n 1 "$E2E_WORK/other")" start_show -display "$DISPLAY" --folder "$files"
window=$(find_show_window)
sleep 1.5
# Had the window watch looked for the window on DISPLAY's server, it would
# have taken it for gone and ended the show.
expect_running "with -display naming the show's display"
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Geometry: 1024x768' <<<"$geometry" || fail "the full-screen window on -display's screen is $geometry"
xdotool key --window "$window" Escape
wait_for_exit 10
[[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"
echo "PASS"
