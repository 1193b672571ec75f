# A private PipeWire with one null sink, as a desktop's sound server: pipewire,
# its session manager wireplumber and pipewire-pulse (PulseAudio's protocol
# for pactl, parec and SDL's pulseaudio driver), on a session bus of their
# own. Its runtime and home folders are private temporary ones, so no system
# or user server is touched, and PulseAudio may stay installed beside it.
# start_pipewire DIR   starts it with its state under DIR and exports
#                      XDG_RUNTIME_DIR, HOME and DBUS_SESSION_BUS_ADDRESS for
#                      the clients; returns 1 when it does not come up (call
#                      stop_pipewire then too)
# stop_pipewire        stops it all and waits for it to be gone

PIPEWIRE_DIR=""
PIPEWIRE_PIDS=()

start_pipewire() {
  PIPEWIRE_DIR=$1
  PIPEWIRE_PIDS=()
  mkdir -p "$PIPEWIRE_DIR/run" "$PIPEWIRE_DIR/home"
  chmod 700 "$PIPEWIRE_DIR/run"
  export XDG_RUNTIME_DIR="$PIPEWIRE_DIR/run" HOME="$PIPEWIRE_DIR/home"
  # A PulseAudio client that finds no server starts PulseAudio's own, which
  # then holds the socket that pipewire-pulse is about to take.
  mkdir -p "$HOME/.config/pulse"
  echo "autospawn = no" >"$HOME/.config/pulse/client.conf"
  unset PULSE_SERVER PIPEWIRE_REMOTE PIPEWIRE_LATENCY
  local program
  for program in dbus-daemon pipewire wireplumber pipewire-pulse pactl; do
    command -v "$program" >/dev/null || { echo "no $program (scripts/install-deps tests)" >>"$PIPEWIRE_DIR/pipewire.log"; return 1; }
  done
  dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    3>"$PIPEWIRE_DIR/bus" 4>"$PIPEWIRE_DIR/bus.pid" 2>>"$PIPEWIRE_DIR/pipewire.log" || return 1
  PIPEWIRE_PIDS+=("$(cat "$PIPEWIRE_DIR/bus.pid")")
  export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$PIPEWIRE_DIR/bus")
  # The server first: its clients give up when its socket is not there yet.
  pipewire >>"$PIPEWIRE_DIR/pipewire.log" 2>&1 &
  PIPEWIRE_PIDS+=($!)
  local deadline=$((SECONDS + 30))
  until [[ -S "$XDG_RUNTIME_DIR/pipewire-0" ]]; do
    ((SECONDS < deadline)) || { echo "start_pipewire: no pipewire-0 socket" >>"$PIPEWIRE_DIR/pipewire.log"; return 1; }
    sleep 0.05
  done
  for program in wireplumber pipewire-pulse; do
    "$program" >>"$PIPEWIRE_DIR/pipewire.log" 2>&1 &
    PIPEWIRE_PIDS+=($!)
  done
  until pactl info 2>/dev/null | grep -q "on PipeWire"; do
    ((SECONDS < deadline)) || { echo "start_pipewire: pipewire-pulse does not answer" >>"$PIPEWIRE_DIR/pipewire.log"; return 1; }
    sleep 0.1
  done
  # pipewire-pulse answers before PipeWire has all its factories: the null
  # sink may be refused ("Not supported") for a moment.
  until pactl load-module module-null-sink sink_name=nullsink >/dev/null 2>>"$PIPEWIRE_DIR/pipewire.log"; do
    ((SECONDS < deadline)) || { echo "start_pipewire: no null sink" >>"$PIPEWIRE_DIR/pipewire.log"; return 1; }
    sleep 0.2
  done
  pactl set-default-sink nullsink || return 1
  # The session manager takes the new default in its own time; clients that
  # start before it has would play nowhere.
  deadline=$((SECONDS + 10))
  until pactl info | grep -q "^Default Sink: nullsink$" && pactl info | grep -q "^Default Source: nullsink.monitor$"; do
    ((SECONDS < deadline)) || { echo "start_pipewire: the null sink is not the default" >>"$PIPEWIRE_DIR/pipewire.log"; return 1; }
    sleep 0.1
  done
}

stop_pipewire() {
  [[ -n "$PIPEWIRE_DIR" ]] || return 0
  local pid deadline
  # The servers first, the bus they talk over last.
  for ((i = ${#PIPEWIRE_PIDS[@]} - 1; i >= 0; --i)); do
    pid=${PIPEWIRE_PIDS[i]}
    kill "$pid" 2>/dev/null || continue
    deadline=$((SECONDS + 5))
    while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  PIPEWIRE_PIDS=()
  PIPEWIRE_DIR=""
}
