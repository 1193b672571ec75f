# The sound server of a test that plays through a real one: SOUND_SERVER
# pulseaudio (the default) or pipewire, and SDL's driver SOUND_DRIVER, which
# on PipeWire may be pipewire (the default there) or pulseaudio (through
# pipewire-pulse).
# start_sound_server DIR  starts it with its state under DIR; a PipeWire that
#                         cannot start here skips the test (exit 77), a
#                         PulseAudio that cannot fails it
# stop_sound_server       stops it; safe on every way out
source "$E2E_DIR/pulse.sh"
source "$E2E_DIR/pipewire.sh"

SOUND_SERVER=${SOUND_SERVER:-pulseaudio}

start_sound_server() {
  case $SOUND_SERVER in
    pulseaudio)
      start_pulse "$1" || { cat "$1/pulse.log" >&2; fail "PulseAudio did not start"; }
      ;;
    pipewire)
      # Twice: on a busy machine its first start has once run out of time.
      if ! start_pipewire "$1"; then
        stop_pipewire
        mv "$1" "$1.first"
        if ! start_pipewire "$1"; then
          echo "SKIP: PipeWire did not start here:"
          grep -v libcamera "$1.first/pipewire.log" "$1/pipewire.log" | tail -n 30
          stop_pipewire
          exit 77
        fi
      fi
      export SDL_AUDIODRIVER=${SOUND_DRIVER:-pipewire}
      ;;
    *) fail "no sound server $SOUND_SERVER" ;;
  esac
  echo "sound server $SOUND_SERVER, SDL's $SDL_AUDIODRIVER driver"
}

stop_sound_server() {
  stop_pulse
  stop_pipewire
}
