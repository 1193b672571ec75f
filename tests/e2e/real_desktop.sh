#!/usr/bin/env bash
# The real program on a real X server with several display modes (Xorg with
# the dummy driver). At depth 16 the show runs at 800x600 with the highest
# refresh rate offered, its window covers that screen, and every way out
# puts the desktop's mode back, with its own exit code. At depth 24 nothing
# is switched.
source "$E2E_DIR/lib.sh"

if [[ $(id -u) -ne 0 ]]; then
  echo "SKIP: starting Xorg needs root"
  exit 77
fi

export SDL_AUDIODRIVER=dummy
ulimit -c 0  # SIGQUIT would leave a core file
XORG_PID=""
WM_PID=""

# TERM, then KILL if it has not gone within 5 s.
stop_process() {
  kill "$1" 2>/dev/null || return 0
  local deadline=$((SECONDS + 5))
  while kill -0 "$1" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
stop_wm() { [[ -n "$WM_PID" ]] && stop_process "$WM_PID"; WM_PID=""; }
stop_xorg() {
  stop_wm
  [[ -n "$SHOW_PID" ]] && kill -9 "$SHOW_PID" 2>/dev/null
  SHOW_PID=""
  [[ -n "$XORG_PID" ]] && stop_process "$XORG_PID"
  XORG_PID=""
}
trap 'stop_xorg; cleanup' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Xorg with the dummy driver at the given depth, on a free display number
# far above the ones xvfb-run -a takes.
start_xorg() {
  mkdir -p "$E2E_WORK/xorg.conf.d"
  cat >"$E2E_WORK/xorg.conf" <<EOF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth $1
  SubSection "Display"
    Depth $1
    Modes "1024x768" "800x600" "640x480"
  EndSubSection
EndSection
EOF
  local display=$((400 + $$ % 400)) tries deadline
  for ((tries = 0; tries < 10; tries++, display++)); do
    [[ -e /tmp/.X$display-lock ]] && continue
    Xorg ":$display" -config "$E2E_WORK/xorg.conf" -configdir "$E2E_WORK/xorg.conf.d" -noreset \
      -nolisten tcp -logfile "$E2E_WORK/xvfb.log" >/dev/null 2>&1 &
    XORG_PID=$!
    export DISPLAY=":$display"
    deadline=$((SECONDS + 20))
    while kill -0 "$XORG_PID" 2>/dev/null && ((SECONDS < deadline)); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    stop_xorg
  done
  fail "Xorg did not start at depth $1"
}

start_wm() {
  mkdir -p "$E2E_WORK/home"
  HOME="$E2E_WORK/home" openbox --sm-disable >/dev/null 2>&1 &
  WM_PID=$!
  local deadline=$((SECONDS + 20))
  until wmctrl -m >/dev/null 2>&1; do
    ((SECONDS < deadline)) || fail "openbox did not start"
    sleep 0.1
  done
}

# The mode in force, e.g. 800x600@85.
current_mode() {
  xrandr --q1 | awk '/^\*/ {
    for (i = 2; i <= NF; i++) if ($i ~ /^\*[0-9]+$/) rate = substr($i, 2)
    print $2 "x" $4 "@" rate; exit }'
}
highest_rate_of_800x600() {
  xrandr --q1 | awk '$2 == 800 && $4 == 600 {
    for (i = 10; i <= NF; i++) { r = $i; gsub(/[*+]/, "", r); if (r + 0 > max) max = r + 0 }
    print max }'
}

make_show_folder
rows=48  # 5.76 s at 120 ms a row
"$WRITE_TEST_MODULE" "$E2E_WORK/short.mod" "$rows" >/dev/null || fail "could not write the test module"
short_ms=$((rows * 120))
ALL_SHOW="$SHOW_DIR"

# One way out: starts the show in a fresh folder, checks the mode and the
# window during the show, ends it, checks the exit code and the mode after.
run_case() {
  local way=$1 wm=$2 expected=$3 window="" geometry started ran_ms
  echo "-- $way ($wm)"
  SHOW_DIR="$E2E_WORK/$way-$wm"
  cp -r "$ALL_SHOW" "$SHOW_DIR"
  case $way in
    music-end | hidden) cp "$E2E_WORK/short.mod" "$SHOW_DIR/cud.mod" ;;
    missing-picture) rm "$SHOW_DIR/g2.pcx" ;;
  esac
  if [[ $wm == openbox ]]; then [[ -n "$WM_PID" ]] || start_wm; else stop_wm; fi
  [[ $(current_mode) == "$START_MODE" ]] || fail "$way: the desktop is at $(current_mode) before the show"

  start_show
  if [[ $way != missing-picture ]]; then
    window=$(find_show_window)
    started=$SECONDS
    [[ $(current_mode) == "$SHOW_MODE" ]] || fail "$way: the show runs at $(current_mode), not $SHOW_MODE"
    sleep 0.5  # the window manager's full-screen placement
    geometry=$(xdotool getwindowgeometry "$window")
    grep -q "Position: 0,0" <<<"$geometry" && grep -q "Geometry: ${SHOW_MODE%@*}$" <<<"$geometry" ||
      fail "$way: the window does not cover the ${SHOW_MODE%@*} screen: $geometry"
  fi
  case $way in
    escape) xdotool key --window "$window" Escape ;;
    sig*) kill -s "${way^^}" "$SHOW_PID" ;;
    wm-close) wmctrl -i -c "$window" ;;
    destroyed) xdotool windowclose "$window" ;;
    hidden)
      xdotool windowminimize "$window"
      sleep 0.5
      xwininfo -id "$window" | grep -q IsUnMapped || fail "hidden: the window is still mapped"
      ;;
  esac
  if [[ $way == hidden || $way == music-end ]]; then wait_for_exit $((short_ms / 1000 + 10)); else wait_for_exit 10; fi
  [[ $SHOW_STATUS -eq $expected ]] || fail "$way ($wm): exit code $SHOW_STATUS, expected $expected"
  [[ $(current_mode) == "$START_MODE" ]] || fail "$way: the desktop was left at $(current_mode)"
  case $way in
    destroyed) ((SECONDS - started <= 2)) || fail "destroyed: the show ran on for $((SECONDS - started)) s" ;;
    hidden) ((SECONDS - started <= short_ms / 1000 + 2)) ||
      fail "hidden: ended $((SECONDS - started)) s after its window appeared, music is $short_ms ms" ;;
    missing-picture) grep -q "^Runtime error 2 at 0x" "$E2E_WORK/stdout" || fail "missing-picture: no report" ;;
  esac
  echo "   exit $SHOW_STATUS, desktop back at $(current_mode)"
}

start_xorg 16
START_MODE=$(current_mode)
[[ $START_MODE == 1024x768@* ]] || fail "Xorg started at $START_MODE, not 1024x768"
SHOW_MODE="800x600@$(highest_rate_of_800x600)"
# The rows under openbox come last: openbox leaves its check window named
# on the root window when it ends, and freeglut's glutInit dies of that.
#        way out          window manager  exit code
while read -r way wm code; do
  run_case "$way" "$wm" "$code"
done <<'EOF'
escape           none     0
sigint           none     130
sigterm          none     143
sighup           none     129
sigquit          none     131
destroyed        none     0
missing-picture  none     2
music-end        none     0
wm-close         openbox  0
hidden           openbox  0
EOF
stop_xorg

# At depth 24 no mode matches: nothing is switched, the window covers the
# desktop as it is.
start_xorg 24
START_MODE=$(current_mode)
SHOW_MODE=$START_MODE
run_case escape none 0
echo "PASS"
