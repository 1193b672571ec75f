#!/usr/bin/env bash
# The Debian package as a user installs it: apt-get installs it; the show
# plays from any working folder, in a window with --window, from the
# installed data folder or from --folder's; orvane-capture makes a video from
# an empty folder; every library the programs link or load at run time comes
# from a package the package depends on; apt-get removes it, and nothing of
# it stays. Whatever way the test ends, the package is removed again and an
# earlier install goes first, so the machine is left as it was.
#
# Usage: tests/package/deb_package.sh DEB   (as root; exit code 77 otherwise)
# WRITE_TEST_MODULE names the tool that writes a short module
# (build/tests/write-test-module).
if [[ $(id -u) -ne 0 ]]; then
  echo "SKIP: installing a package needs root"
  exit 77
fi
deb=$(realpath "$1")
E2E_DIR=$(cd "$(dirname "$0")/../e2e" && pwd)
ORVANE=/usr/games/orvane
capture=/usr/games/orvane-capture
source "$E2E_DIR/lib.sh"

installed() { [[ $(dpkg-query -W -f='${Status}' orvane 2>/dev/null) == "install ok installed" ]]; }
remove_package() {
  dpkg-query -W orvane >/dev/null 2>&1 || return 0
  DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq orvane >"$E2E_WORK/remove.log" 2>&1
}
trap 'remove_package; cleanup' EXIT
trap 'exit 130' INT TERM HUP

echo "-- install"
remove_package || fail "an earlier orvane could not be removed"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$E2E_WORK/install.log" 2>&1 ||
  { cat "$E2E_WORK/install.log" >&2; fail "apt-get could not install $deb"; }
installed || fail "orvane is not installed after apt-get install"
mapfile -t owned < <(dpkg -L orvane)
version=$(dpkg-query -W -f='${Version}' orvane)
[[ "$("$ORVANE" --version)" == "orvane $version" ]] || fail "--version says '$("$ORVANE" --version)', the package is $version"
man -w 6 orvane >/dev/null 2>&1 || fail "man 6 orvane finds no page"
# The licence, in Debian's machine-readable copyright format, word for word
# the project's LICENSE.
copyright=/usr/share/doc/orvane/copyright
head -n 1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "$copyright is not in the machine-readable format"
grep -qx 'License: Expat' "$copyright" || fail "$copyright names no Expat licence"
licence_words() { tr -s ' \n.' '\n' | grep -v '^$'; }
diff <(sed -n '/^Permission/,$p' "$(dirname "$0")/../../LICENSE" | licence_words) \
  <(sed -n '/^ Permission/,$p' "$copyright" | licence_words) >/dev/null ||
  fail "$copyright does not hold LICENSE's text"

export SDL_AUDIODRIVER=dummy
start_xvfb 1024x768x24
SHOW_DIR="$E2E_WORK/empty"
mkdir -p "$SHOW_DIR"
files="$E2E_WORK/files"
mkdir -p "$files"
cp /usr/share/games/orvane/*.pcx "$files/"
"$WRITE_TEST_MODULE" "$files/cud.mod" 40 || fail "write-test-module failed"

echo "-- --window with a short module from --folder: 800 by 600, ends by itself"
# The dynamic loader notes which libraries the program itself opens.
LD_DEBUG=files LD_DEBUG_OUTPUT="$E2E_WORK/loaded" start_show --window --folder "$files"
window=$(find_show_window)
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Geometry: 800x600' <<<"$geometry" || fail "--window gave a window of $geometry on a 1024x768 screen"
wait_for_exit 30
[[ $SHOW_STATUS -eq 0 ]] || fail "the show ended with exit code $SHOW_STATUS"
[[ ! -s "$E2E_WORK/stdout" ]] || fail "unexpected output"

echo "-- the installed data folder, from an empty working folder"
start_show --window
window=$(find_show_window)
sleep 1
expect_running "with the installed files"
xdotool key --window "$window" Escape
wait_for_exit 10
[[ $SHOW_STATUS -eq 0 ]] || fail "Escape gave exit code $SHOW_STATUS"
[[ ! -s "$E2E_WORK/stdout" ]] || fail "the installed soundtrack or pictures were not found"

echo "-- --folder with a missing picture: the error report and exit code 2"
rm "$files/g1.pcx"
start_show --window --folder "$files"
wait_for_exit 20
[[ $SHOW_STATUS -eq 2 ]] || fail "a missing picture gave exit code $SHOW_STATUS"
head -n 1 "$E2E_WORK/stdout" | grep -Eq '^Runtime error 2 at 0x[0-9A-F]{8}$' || fail "no error report"

echo "-- orvane-capture --video from an empty folder, without a display"
(cd "$SHOW_DIR" && env -u DISPLAY "$capture" --video show.mp4 --to 1000) >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" ||
  fail "orvane-capture --video failed"
streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$SHOW_DIR/show.mp4" | paste -sd ' ')
[[ "$streams" == "video audio" ]] || fail "the video's streams are '$streams', not picture and the installed soundtrack"

echo "-- every library comes from a package in Depends, ffmpeg from Recommends"
depends=$(dpkg-query -W -f='${Depends}' orvane | tr ',|' '\n\n' | sed -E 's/\(.*\)//; s/[[:space:]]//g')
recommends=$(dpkg-query -W -f='${Recommends}' orvane | tr ',|' '\n\n' | sed -E 's/\(.*\)//; s/[[:space:]]//g')
# The package that holds the library NAME of this machine's architecture.
owner_of() {
  dpkg -S "*/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/$1" 2>/dev/null | head -n 1 | cut -d: -f1
}
linked=$(for program in "$ORVANE" "$capture"; do
  readelf -d "$program" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p'
done)
# Of the names the show tries, the ones this machine has.
opened=$(cat "$E2E_WORK"/loaded.* | sed -nE "s/.*file=([^ ]+) .*dynamically loaded by ${ORVANE//\//\\/} .*/\1/p" |
  sort -u | grep -Fxf <(ldconfig -p | awk 'NR > 1 { print $1 }'))
[[ -n "$opened" ]] || fail "the dynamic loader saw the show open no library"
for library in $(sort -u <<<"$linked"$'\n'"$opened"); do
  package=$(owner_of "$library")
  [[ -n "$package" ]] || fail "no package holds $library"
  grep -qx "$package" <<<"$depends" || fail "$library comes from $package, which Depends does not name: $depends"
done
grep -qx "$(dpkg -S "$(command -v ffmpeg)" | cut -d: -f1)" <<<"$recommends" || fail "Recommends does not name ffmpeg's package"

echo "-- remove: nothing of it stays"
remove_package || { cat "$E2E_WORK/remove.log" >&2; fail "apt-get could not remove orvane"; }
dpkg-query -W orvane >/dev/null 2>&1 && fail "dpkg still knows orvane after the purge"
for path in "${owned[@]}"; do
  [[ -e "$path" ]] || continue
  # A folder that stays must belong to another package too.
  [[ -d "$path" ]] && dpkg -S "$path" >/dev/null 2>&1 && continue
  fail "$path is left after removing the package"
done
echo "PASS"
