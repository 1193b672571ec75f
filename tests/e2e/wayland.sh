#!/usr/bin/env bash
# The show in a Wayland session: GNOME's mutter, headless with a virtual
# monitor of 1920 by 1080, the show on its Xwayland as X11 programs run
# there. Xwayland offers 800 by 600 only at depth 24, so the show as built
# (16 bits) switches nothing; depth24-show, the show built for depth 24,
# switches to Xwayland's 800 by 600, which Xwayland emulates for the client
# that asked alone. Either way the window covers the whole output, every way
# out ends with its own exit code, and the output's mode, as mutter and as
# another X client see it, is what it was. Skipped (77) where mutter cannot
# start here.
source "$E2E_DIR/lib.sh"

for program in mutter Xwayland dbus-daemon gdbus xwininfo; do
  command -v "$program" >/dev/null || { echo "SKIP: no $program (scripts/install-deps tests)"; exit 77; }
done

export SDL_AUDIODRIVER=dummy
ulimit -c 0
DBUS_PID=""
MUTTER_PID=""
XWAYLAND_PID=""

# TERM, then KILL if it has not gone within 5 s.
stop_process() {
  [[ -n "$1" ]] || return 0
  kill "$1" 2>/dev/null || return 0
  local deadline=$((SECONDS + 5))
  while kill -0 "$1" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
stop_session() {
  [[ -n "$SHOW_PID" ]] && kill -9 "$SHOW_PID" 2>/dev/null
  SHOW_PID=""
  stop_process "$MUTTER_PID"
  stop_process "$XWAYLAND_PID"
  stop_process "$DBUS_PID"
  MUTTER_PID="" XWAYLAND_PID="" DBUS_PID=""
}
trap 'stop_session; cleanup' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# A session of our own: its runtime folder, its bus, the compositor on it.
session=$E2E_WORK/session
mkdir -p "$session/run" "$session/home"
chmod 700 "$session/run"
export XDG_RUNTIME_DIR=$session/run HOME=$session/home
unset WAYLAND_DISPLAY DISPLAY XAUTHORITY
dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 3>"$session/bus" 4>"$session/bus.pid" ||
  fail "no session bus"
DBUS_PID=$(cat "$session/bus.pid")
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$session/bus")
mutter --headless --wayland --virtual-monitor 1920x1080 --wayland-display="orvane-$$" >"$session/mutter.log" 2>&1 &
MUTTER_PID=$!
deadline=$((SECONDS + 30))
until grep -q "Using public X11 display" "$session/mutter.log"; do
  if ! kill -0 "$MUTTER_PID" 2>/dev/null || ((SECONDS >= deadline)); then
    echo "SKIP: mutter did not start here:"
    tail -n 20 "$session/mutter.log"
    exit 77
  fi
  sleep 0.1
done
export DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$session/mutter.log" | head -n 1)
XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1)
export XAUTHORITY
deadline=$((SECONDS + 20))
until xdpyinfo >/dev/null 2>&1; do
  ((SECONDS < deadline)) || fail "Xwayland on $DISPLAY does not answer"
  sleep 0.1
done
XWAYLAND_PID=$(pgrep -P "$MUTTER_PID" Xwayland | head -n 1)
echo "mutter $(mutter --version | head -n 1 | cut -d' ' -f2), Xwayland on $DISPLAY"

# The output's mode as mutter has it, and as another X client sees it.
output_mode() {
  local mutter_mode x_mode
  mutter_mode=$(gdbus call --session --dest org.gnome.Mutter.DisplayConfig --object-path /org/gnome/Mutter/DisplayConfig \
    --method org.gnome.Mutter.DisplayConfig.GetCurrentState | grep -o "('[^']*', [0-9]*, [0-9]*, [0-9.]*, [0-9.]*, [^)]*{'is-current': <true>" |
    cut -d"'" -f2)
  x_mode=$(xrandr --q1 | awk '/^\*/ { print $2 "x" $4; exit }')
  echo "mutter ${mutter_mode:-none}, X ${x_mode:-none}"
}
START_MODE=$(output_mode)
[[ $START_MODE == "mutter 1920x1080@60.000, X 1920x1080" ]] || fail "the session starts at $START_MODE"
xrandr | grep -q '^ *800x600 ' || fail "Xwayland offers no 800x600 mode"

make_show_folder
rows=24  # 2.88 s at 120 ms a row
"$WRITE_TEST_MODULE" "$E2E_WORK/short.mod" "$rows" >/dev/null || fail "could not write the test module"
ALL_SHOW=$SHOW_DIR
SHOW_PROGRAM=$ORVANE

run_case() {
  local way=$1 program=$2 expected=$3 window="" info
  echo "-- $way ($program)"
  SHOW_DIR="$E2E_WORK/$way-$program"
  cp -r "$ALL_SHOW" "$SHOW_DIR"
  case $way in
    music-end) cp "$E2E_WORK/short.mod" "$SHOW_DIR/cud.mod" ;;
    missing-picture) rm "$SHOW_DIR/g2.pcx" ;;
  esac
  if [[ $program == depth24 ]]; then ORVANE=$DEPTH24_SHOW; else ORVANE=$SHOW_PROGRAM; fi
  start_show
  if [[ $way != missing-picture ]]; then
    window=$(find_show_window)
    sleep 1  # the compositor's full-screen placement
    info=$(xwininfo -id "$window")
    grep -q "Absolute upper-left X:  0$" <<<"$info" && grep -q "Absolute upper-left Y:  0$" <<<"$info" &&
      grep -q "Width: 1920$" <<<"$info" && grep -q "Height: 1080$" <<<"$info" ||
      fail "$way ($program): the window does not cover the output: $(grep -E 'Absolute|Width|Height' <<<"$info" | tr -s ' ')"
    [[ $(output_mode) == "$START_MODE" ]] || fail "$way ($program): during the show the output is at $(output_mode)"
    # The picture, stretched to the output, reaches its edges: the show's
    # clear colour is level 5, its bars would be 0.
    import -window "$window" "$E2E_WORK/$way-$program.png" 2>/dev/null || fail "no screenshot of the window"
    for column in 1x1080+0+0 1x1080+1919+0; do
      level=$(/usr/bin/convert "$E2E_WORK/$way-$program.png" -crop "$column" +repage -format '%[fx:int(minima*255+0.5)]' info:)
      ((level >= 5)) || fail "$way ($program): the picture does not reach the output's edge $column"
    done
  fi
  case $way in
    escape) xdotool key --window "$window" Escape ;;
    sig*) kill -s "${way^^}" "$SHOW_PID" ;;
  esac
  if [[ $way == music-end ]]; then wait_for_exit 15; else wait_for_exit 10; fi
  [[ $SHOW_STATUS -eq $expected ]] || fail "$way ($program): exit code $SHOW_STATUS, expected $expected"
  [[ $(output_mode) == "$START_MODE" ]] || fail "$way ($program): the output was left at $(output_mode)"
  if [[ $way == missing-picture ]]; then
    grep -q "^Runtime error 2 at 0x" "$E2E_WORK/stdout" || fail "missing-picture: no report"
  fi
  echo "   exit $SHOW_STATUS, output at $(output_mode)"
}

#        way out          program  exit code
while read -r way program code; do
  run_case "$way" "$program" "$code"
done <<'EOF'
escape           orvane   0
music-end        orvane   0
missing-picture  orvane   2
sigterm          orvane   143
escape           depth24  0
sigint           depth24  130
EOF
echo "PASS"
