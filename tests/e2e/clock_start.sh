#!/usr/bin/env bash
# The music clock starts when the music is heard: clock-bench plays a short
# module of ours through a private sound server's null sink (PulseAudio, or
# PipeWire through either of SDL's drivers: tests/e2e/sound_server.sh) and
# records the sink's monitor with the server's own timing. The clock's zero must lie
# within half an output block (11 ms) of the moment the sink played the
# music's first frame: an output latency left out or counted twice is a
# whole block (23 ms) off. The clock never goes back.
source "$E2E_DIR/lib.sh"
source "$E2E_DIR/sound_server.sh"
trap 'stop_sound_server; cleanup' EXIT

start_sound_server "$E2E_WORK/sound"
"$CLOCK_BENCH" --monitor - 3 >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" || fail "clock-bench failed"

offset=$(sed -n 's/^start offset: *\([-+0-9.]*\) ms.*/\1/p' "$E2E_WORK/stdout")
backward=$(sed -n 's/^backward steps: *\([0-9]*\)$/\1/p' "$E2E_WORK/stdout")
[[ -n "$offset" ]] || fail "no start offset: did the music reach the sink's monitor?"
[[ "$backward" == 0 ]] || fail "the clock went back $backward times"
awk -v offset="$offset" 'BEGIN { exit !(offset >= -11 && offset <= 11) }' ||
  fail "the clock's zero is $offset ms off the moment its first frame was heard"
echo "start offset $offset ms"
echo "PASS"
