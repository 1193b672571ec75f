# A private PulseAudio with one null sink, for the end-to-end sound test and
# clock-bench-pulse. Runs as root too: its runtime and home folders are
# private temporary ones, so no system or user server is touched.
# start_pulse DIR  starts it with its state under DIR and exports
#                  XDG_RUNTIME_DIR, HOME and SDL_AUDIODRIVER for the clients;
# stop_pulse       stops it and waits for it to be gone.

PULSE_DIR=""

start_pulse() {
  PULSE_DIR=$1
  mkdir -p "$PULSE_DIR/run" "$PULSE_DIR/home"
  chmod 700 "$PULSE_DIR/run"
  export XDG_RUNTIME_DIR="$PULSE_DIR/run" HOME="$PULSE_DIR/home" SDL_AUDIODRIVER=pulseaudio
  unset PULSE_SERVER
  # -n: no default script, so no sound card is looked for and an idle sink
  # is never suspended.
  timeout 20 pulseaudio -n --daemonize=yes --exit-idle-time=-1 --system=false --use-pid-file=yes \
    --log-target=file:"$PULSE_DIR/pulse.log" \
    -L "module-null-sink sink_name=nullsink rate=44100" \
    -L module-native-protocol-unix -L module-always-sink 2>>"$PULSE_DIR/pulse.log" || return 1
  local deadline=$((SECONDS + 10))
  until pactl info >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

stop_pulse() {
  [[ -n "$PULSE_DIR" && -f "$PULSE_DIR/run/pulse/pid" ]] || return 0
  local pid
  pid=$(cat "$PULSE_DIR/run/pulse/pid")
  kill "$pid" 2>/dev/null
  local deadline=$((SECONDS + 10))
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  kill -9 "$pid" 2>/dev/null
  PULSE_DIR=""
}
