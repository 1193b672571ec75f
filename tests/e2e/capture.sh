#!/usr/bin/env bash
# orvane-capture as a user runs it: stills and a contact sheet on a machine
# without a display, the same frame twice alike, and clear failures.
source "$E2E_DIR/lib.sh"

make_show_folder
out="$E2E_WORK/out"
mkdir -p "$out"

# Runs the tool in the show folder without a display; sets STATUS.
capture() {
  (cd "$SHOW_DIR" && env -u DISPLAY ORVANE_E2E_RUN="$E2E_WORK" LD_PRELOAD="${ORVANE_PRELOAD:-}" "$ORVANE_CAPTURE" "$@") \
    >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr"
  STATUS=$?
}

size_of() { identify -format '%wx%h' "$1"; }

echo "-- stills without a display"
capture --still 240 --still 195500 --out-dir "$out"
[[ $STATUS -eq 0 ]] || fail "stills gave exit code $STATUS"
for ms in 240 195500; do
  [[ -f "$out/still-$ms.png" ]] || fail "still-$ms.png was not written"
  [[ $(size_of "$out/still-$ms.png") == 800x600 ]] || fail "still-$ms.png is not 800 by 600"
done
# The readout shows at 240 ms: white pixels right of the view's centre.
lit=$(convert "$out/still-240.png" -crop 60x30+400+270 -threshold 50% -format '%[fx:mean]' info:)
awk -v lit="$lit" 'BEGIN { exit !(lit > 0.02) }' || fail "no readout in the still of 240 ms"

echo "-- the same frame twice, byte for byte"
mv "$out/still-195500.png" "$E2E_WORK/first.png"
capture --still 195500 --fps 60 --out-dir "$out"
cmp -s "$E2E_WORK/first.png" "$out/still-195500.png" || fail "two renders of 195500 ms differ"

echo "-- contact sheet"
capture --sheet "$out/sheet.png"
[[ $STATUS -eq 0 ]] || fail "the sheet gave exit code $STATUS"
[[ $(size_of "$out/sheet.png") == 1600x1320 ]] || fail "the sheet is $(size_of "$out/sheet.png")"

echo "-- --folder from another working folder: outputs stay relative to it"
elsewhere="$E2E_WORK/elsewhere"
mkdir -p "$elsewhere/stills"
for out_dir in . stills/ stills; do
  rm -f "$elsewhere"/still-195500.png "$elsewhere"/stills/still-195500.png
  (cd "$elsewhere" && env -u DISPLAY LD_PRELOAD="${ORVANE_PRELOAD:-}" "$ORVANE_CAPTURE" --folder "$SHOW_DIR" \
    --still 195500 --out-dir "$out_dir") >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" || fail "--folder gave an error"
  written="$elsewhere/${out_dir%/}/still-195500.png"
  written=${written/\/.\//\/}
  grep -qxF "orvane-capture: wrote $written" "$E2E_WORK/stdout" || fail "--out-dir $out_dir: $(cat "$E2E_WORK/stdout")"
  cmp -s "$E2E_WORK/first.png" "$written" || fail "--folder's still differs from the one made in the folder"
done

echo "-- bad arguments, each with its message"
while IFS='|' read -r args code message; do
  # shellcheck disable=SC2086
  capture $args
  [[ $STATUS -eq $code ]] || fail "'$args' gave exit code $STATUS, not $code"
  grep -qF -- "$message" "$E2E_WORK/stderr" || fail "'$args' did not say: $message"
done <<'CASES'
|2|give either --still MS or --sheet FILE.png
--still|2|--still needs a value
--still 12x|2|--still must be a whole number
--still 100 --fps 0|2|--fps must lie between 1 and 1000
--still 100 --colour red|2|unknown option --colour
--still 100 --sheet x.png|2|give either --still MS or --sheet FILE.png
--still 999999|2|999999 ms is not inside the show
--still 100 --out-dir /nonexistent/folder|1|cannot write into /nonexistent/folder
--sheet /nonexistent/folder/sheet.png|1|cannot write /nonexistent/folder/sheet.png
--still 100 --folder /nonexistent/show|2|cannot read the show's files from /nonexistent/show
--still 100 --folder|2|--folder needs a value
CASES

echo "-- a missing picture: the show's own report"
rm "$SHOW_DIR/g2.pcx"
capture --still 100 --out-dir "$out"
[[ $STATUS -eq 2 ]] || fail "missing picture gave exit code $STATUS"
head -n 1 "$E2E_WORK/stdout" | grep -Eq '^Runtime error 2 at 0x[0-9A-F]{8}$' || fail "no run-time error report"
[[ ! -e "$out/still-100.png" ]] || fail "a still was written without its pictures"
# The tool's private X server ends with it, even on this path. It inherited
# the tool's environment, which tells it from other runs' servers.
own_server_left() {
  local pid
  for pid in $(pgrep -x Xvfb); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "ORVANE_E2E_RUN=$E2E_WORK" && return 0
  done
  return 1
}
for _ in 1 2 3 4 5 6 7 8 9 10; do
  own_server_left || break
  sleep 0.3
done
own_server_left && fail "the private X server outlived the tool"
echo "PASS"
