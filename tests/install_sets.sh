#!/usr/bin/env bash
# The package sets of scripts/install-deps, read from the script itself (it
# installs nothing with --list): a person who only watches the show gets
# nothing that only tests, the Windows build, the page or the package use,
# and the tests' set holds every other set, so a fresh machine that runs the
# suite has all of them.
install=$(cd "$(dirname "$0")/.." && pwd)/scripts/install-deps
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

show=$("$install" --list show) || fail "install-deps --list show gave exit code $?"
[[ -n "$show" ]] || fail "the show's set is empty"
tests=$("$install" --list tests) || fail "install-deps --list tests gave exit code $?"

# Packages no one needs to build or watch the show, as Debian names them.
while read -r pattern what; do
  offenders=$(grep -Ex "$pattern" <<<"$show" | paste -sd ' ')
  [[ -z "$offenders" ]] || fail "the show's set holds $what: $offenders"
done <<'NOT_THE_SHOWS'
wine(32|64)?(-.*)?           Wine
clang(-[0-9]+)?|libclang.*   clang and its fuzzer
xserver-xorg.*|xorg          Xorg
openbox                      a window manager
imagemagick.*                ImageMagick
xdotool                      xdotool
libgtest-dev|googletest      GoogleTest
pulseaudio|pulseaudio-utils  a sound server
mutter|xwayland|weston       a Wayland compositor
pipewire.*|wireplumber       a PipeWire sound server
.*mingw.*                    the Windows cross-compiler
emscripten|chromium.*        the page's tools
lintian                      the package's checker
NOT_THE_SHOWS

for set in show windows web deb; do
  members=$("$install" --list "$set") || { fail "install-deps --list $set gave exit code $?"; continue; }
  missing=$(comm -23 <(sort <<<"$members") <(sort <<<"$tests") | paste -sd ' ')
  [[ -z "$missing" ]] || fail "the tests' set lacks the $set set's $missing"
done

"$install" --list no-such-set >/dev/null 2>&1
[[ $? -eq 2 ]] || fail "an unknown set did not give exit code 2"

[[ $status -eq 0 ]] && echo "the show's set holds only the show's packages; the tests' set holds every set"
exit $status
