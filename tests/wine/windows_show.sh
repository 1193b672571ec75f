#!/usr/bin/env bash
# The Windows build as a Windows user gets it: the zip unpacked into an empty
# folder, run under Wine on a private Xvfb with Wine's virtual desktop (there
# the display mode can change). A short module of ours replaces the
# soundtrack. One case a line in the table below; every case ends with the
# display mode as it was before. Cleans up its wineserver and X server on
# every way out.
#
# Usage: windows_show.sh BUILD_DIR ZIP   (BUILD_DIR: scripts/build-windows's)
E2E_DIR=$(cd "$(dirname "$0")/../e2e" && pwd)
source "$E2E_DIR/lib.sh"

build=$(realpath "${1:?usage: windows_show.sh BUILD_DIR ZIP}")
zip=$(realpath "${2:?usage: windows_show.sh BUILD_DIR ZIP}")
helpers=$build/orvane/tests/wine
rows=40  # 4.8 s at 120 ms a row
rate=44100

export WINEPREFIX=$E2E_WORK/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
stop_wine() {
  [[ -n "$SHOW_PID" ]] && kill -9 "$SHOW_PID" 2>/dev/null
  SHOW_PID=""
  if [[ -d "$WINEPREFIX" ]]; then
    timeout 10 wineserver -k 2>/dev/null
    timeout 10 wineserver -w 2>/dev/null
  fi
}
trap 'stop_wine; cleanup' EXIT
trap 'exit 1' TERM INT

for tool in wine wineserver Xvfb xdotool openmpt123 x86_64-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done

# Wine under a time limit; its console output with Windows' line ends undone.
winerun() {  # SECONDS PROGRAM ARGS...
  local limit=$1
  shift
  timeout -k 5 "$limit" wine "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
probe_mode() { winerun 30 "$helpers/display-mode-probe.exe"; }

started=$SECONDS
echo "-- the zip unpacked into an empty folder"
user=$E2E_WORK/user
mkdir -p "$user"
(cd "$user" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
package=$user/orvane-windows-x64
for file in orvane.exe freeglut.dll make-standins.exe README.txt LICENSE.txt licenses/libopenmpt.txt \
  licenses/libsdl2.txt licenses/freeglut.txt cud.mod created.pcx sound.pcx \
  g0.pcx g1.pcx g2.pcx g3.pcx resp.pcx; do
  [[ -s "$package/$file" ]] || fail "the zip has no $file"
done

start_xvfb 1024x768x24
# The prefix, with a virtual desktop of 1024x768 at Wine's own depth.
winerun 60 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null &&
  winerun 30 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null ||
  fail "cannot set up Wine's prefix"
timeout 30 wineserver -w

echo "-- orvane.exe imports only what Windows has"
system32=$WINEPREFIX/drive_c/windows/system32
while read -r dll; do
  [[ -n "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ]] ||
    fail "orvane.exe needs $dll, which Windows does not have"
done < <(x86_64-w64-mingw32-objdump -p "$package/orvane.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')

echo "-- make-standins.exe writes the zip's soundtrack and pictures, byte for byte"
mkdir -p "$E2E_WORK/standins"
(cd "$E2E_WORK/standins" && winerun 60 "$package/make-standins.exe" . >/dev/null) || fail "make-standins.exe failed"
for file in cud.mod created.pcx sound.pcx g0.pcx g1.pcx g2.pcx g3.pcx resp.pcx; do
  cmp -s "$package/$file" "$E2E_WORK/standins/$file" || fail "make-standins.exe wrote another $file"
done

(cd "$package" && winerun 30 "$helpers/write-test-module.exe" cud.mod "$rows") || fail "cannot write the test module"
cp "$package/cud.mod" "$E2E_WORK/reference.mod"
openmpt123 -q --render --force --no-float --samplerate "$rate" --channels 2 "$E2E_WORK/reference.mod" >/dev/null 2>&1 ||
  fail "openmpt123 could not render the module"
desktop=$(probe_mode) || fail "no display mode before the show"

# Window id of the show inside the virtual desktop, waiting up to 30 s.
show_window() {
  local id="" deadline=$((SECONDS + 30))
  while [[ -z "$id" ]]; do
    ((SECONDS < deadline)) || fail "no window named Orvane appeared"
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the program ended before its window appeared"
    id=$(xdotool search --name '^Orvane$' 2>/dev/null | head -n 1)
    [[ -n "$id" ]] || sleep 0.2
  done
  echo "$id"
}

# A frame is on the screen: the show's window holds its black and its white
# readout (at least 50 bright pixels). WINE_SHOW_SHOTS=DIR keeps the
# screenshots there.
expect_frame() {
  local shot=$E2E_WORK/$1.png bright black
  sleep 1.5
  /usr/bin/import -window root -crop 800x600+0+0 "$shot" 2>/dev/null || fail "no screenshot"
  [[ -n "${WINE_SHOW_SHOTS:-}" ]] && cp "$shot" "$WINE_SHOW_SHOTS/"
  bright=$(/usr/bin/convert "$shot" -colorspace gray -threshold 70% -format '%[fx:mean*w*h]' info:)
  black=$(/usr/bin/convert "$shot" -colorspace gray -threshold 3% -negate -format '%[fx:mean]' info:)
  echo "   screenshot: ${bright%.*} bright pixels, black share $black"
  ((${bright%.*} >= 50)) || fail "the screenshot shows no readout"
  awk -v b="$black" 'BEGIN { exit !(b > 0.5) }' || fail "the screenshot is not the show's black frame"
}

# The written audio is the module's: it sounds for the module's length
# (within 50 ms) at the level openmpt123 renders it (within 20%).
expect_module_audio() {
  measure() {  # FILE BYTE-OFFSET LENGTH: first and last loud frame, frames, RMS
    od -An -v -j "$2" -t d2 -w4 "$1" | awk -v length_frames="$3" '
      { a = $1 < 0 ? -$1 : $1; b = $2 < 0 ? -$2 : $2
        if (a > 64 || b > 64) { if (!first) first = NR; last = NR }
        if (first && NR < first + length_frames) { sum += $1 * $1 + $2 * $2; n += 2 } }
      END { printf "%d %d %d %.0f\n", first, last, NR, n ? sqrt(sum / n) : 0 }'
  }
  local length=$((rows * 120 * rate / 1000)) wav=$E2E_WORK/reference.mod.wav data
  data=$(grep -obUa data "$wav" | head -n 1 | cut -d: -f1)
  local ref_level first last total level
  read -r _ _ _ ref_level < <(measure "$wav" $((data + 8)) "$length")
  [[ -s "$package/heard.raw" ]] || fail "SDL's disk driver wrote nothing"
  read -r first last total level < <(measure "$package/heard.raw" 0 "$length")
  echo "   audio: sound from frame $first to $last of $total (module $length frames), level $level (alone $ref_level)"
  ((first > 0)) || fail "the written audio is silence"
  local sounded=$((last - first + 1))
  ((sounded >= length - rate / 20 && sounded <= length + rate / 20)) || fail "sound lasted $sounded frames, the module $length"
  ((level * 10 >= ref_level * 8 && level * 10 <= ref_level * 12)) || fail "level $level, the module alone $ref_level"
  rm -f "$package/heard.raw"
}

expect_report() {
  head -n 1 "$E2E_WORK/stdout" | grep -Eq '^Runtime error 2 at 0x[0-9A-F]{8}$' || fail "report's first line is wrong"
  [[ $(wc -l <"$E2E_WORK/stdout") -ge 3 ]] || fail "report has no address lines"
  tail -n +2 "$E2E_WORK/stdout" | sed '$d' | grep -Evq '^0x[0-9A-F]{8}$' && fail "report has a line that is not an address"
  [[ -z "$(tail -n 1 "$E2E_WORK/stdout")" ]] || fail "report does not end with an empty line"
}

expect_no_song() {
  [[ "$(cat "$E2E_WORK/stdout")" == $'Error: Failed Song Loading...\nFile not found.' ]] ||
    fail "expected the two lines of a missing module"
}

expect_silent() { [[ ! -s "$E2E_WORK/stdout" ]] || fail "unexpected output"; }

# name | file taken away | SDL audio driver | how it ends | exit code | checks once it ended
cases="
ends by itself   | -       | disk  | music end | 0 | expect_silent expect_module_audio
missing picture  | g2.pcx  | disk  | at once   | 2 | expect_report
missing module   | cud.mod | dummy | Escape    | 0 | expect_no_song
"

while IFS='|' read -r name missing driver ending code checks; do
  [[ -n "${name// /}" ]] || continue
  read -r name <<<"$name"; read -r missing <<<"$missing"; read -r driver <<<"$driver"
  read -r ending <<<"$ending"; read -r code <<<"$code"
  echo "-- $name"
  case_started=$SECONDS
  [[ $missing == - ]] || mv "$package/$missing" "$E2E_WORK/$missing"
  (cd "$package" && SDL_AUDIODRIVER=$driver SDL_DISKAUDIOFILE=heard.raw exec wine orvane.exe) \
    >"$E2E_WORK/stdout.crlf" 2>"$E2E_WORK/stderr" &
  SHOW_PID=$!
  if [[ $ending == "at once" ]]; then
    wait_for_exit 60
  else
    show_window >/dev/null
    mode=$(probe_mode)
    [[ $mode == 800x600x* ]] || fail "display mode during the show: $mode, not 800x600"
    expect_frame "${name// /-}"
    expect_running "$name: it should go on"
    if [[ $ending == Escape ]]; then
      xdotool key Escape
      wait_for_exit 20
    else
      wait_for_exit $((rows * 120 / 1000 + 40))
    fi
  fi
  tr -d '\r' <"$E2E_WORK/stdout.crlf" >"$E2E_WORK/stdout"
  [[ $SHOW_STATUS -eq $code ]] || fail "$name: exit code $SHOW_STATUS, not $code"
  for check in $checks; do $check; done
  after=$(probe_mode)
  [[ $after == "$desktop" ]] || fail "$name: display mode $after after the show, $desktop before"
  [[ $missing == - ]] || mv "$E2E_WORK/$missing" "$package/$missing"
  echo "   passed in $((SECONDS - case_started)) s"
done <<<"$cases"

echo "PASS in $((SECONDS - started)) s"
